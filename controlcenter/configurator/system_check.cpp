// SystemCheck: the prerequisite test of the on/off switch.
#include "system_check.h"

#include "registry_reader.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kNtVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kNtWinsockKey[] = "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters";
const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kWinsockKey[] = "System\\CurrentControlSet\\Services\\Winsock2\\Parameters";
const char kWinsockSetupKey[] = "System\\CurrentControlSet\\Services\\Winsock2\\Setup";

// Windows 98 and Me: Winsock 2 installed, registry version exactly "2.0".
bool has_winsock2_registry() {
    char version[255] = {};
    ReadRegistryString(kWinsockKey, "Winsock_Registry_Version", version);
    return strcmp(version, "2.0") == 0;
}

bool windows_nt_check(const char* currentVersion) {
    // One number serves both scans: a service pack text that does not scan leaves the major
    // version to be judged.
    int number = 0;
    sscanf(currentVersion, "%d.", &number);
    if (number < 4) return false;
    char servicePack[255] = {};
    if (ReadRegistryString(kNtVersionKey, "CSDVersion", servicePack)) {
        sscanf(servicePack, "Service Pack %d", &number);
        return number >= 4;
    }
    char product[255] = {};
    if (!ReadRegistryString(kNtVersionKey, "ProductName", product) || !strstr(product, "2000")) return false;
    char winsock[255] = {};
    if (!ReadRegistryString(kNtWinsockKey, "WinSock_Registry_Version", winsock)) return false;
    int winsockMajor = 0;
    return sscanf(winsock, "%d.", &winsockMajor) == 1 && winsockMajor == 2;
}

}  // namespace

bool SystemCheck() {
    char currentVersion[255] = {};
    if (ReadRegistryString(kNtVersionKey, "CurrentVersion", currentVersion)) return windows_nt_check(currentVersion);
    char version[255] = {};
    if (!ReadRegistryString(kVersionKey, "Version", version)) return false;
    if (strstr(version, "Millennium") || strstr(version, "98")) return has_winsock2_registry();
    int installed = 0;
    return ReadRegistryDword(kWinsockSetupKey, "WS2_95_Install_Success", &installed) && installed == 1;
}
