// The Windows part of a machine: its folders and the version values the prerequisite check reads.
#include "machine_seeding.h"
#include "seed_steps.h"

namespace qf {

bool seed_windows_folders(std::string& error) {
    for (const char* folder : {"C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS\\TEMP"})
        if (!create_windows_folders(folder, error)) return false;
    return true;
}

// Windows 2000 with Service Pack 4 and Winsock 2.
bool seed_windows_version(std::string& error) {
    const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const char kWinsockKey[] = "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
    return seed_string_value(kVersionKey, "CurrentVersion", "5.0", error) &&
           seed_string_value(kVersionKey, "CSDVersion", "Service Pack 4", error) &&
           seed_string_value(kVersionKey, "ProductName", "Microsoft Windows 2000", error) &&
           seed_string_value(kWinsockKey, "WinSock_Registry_Version", "2.0", error);
}

}  // namespace qf
