// The installed product: DBDIR and the folders under it.
#include "machine_seeding.h"
#include "seed_steps.h"

namespace qf {

bool seed_install_folders(std::string& error) {
    if (!seed_string_value(kProductKey, kDbdirValue, kFactoryDbdir, error)) return false;
    // A DBDIR that a parent changed is kept, and the folders are made where it points.
    std::string dbdir;
    if (!read_dbdir(dbdir)) {
        error = std::string("the registry value ") + kProductKey + "\\" + kDbdirValue + " is not a readable text";
        return false;
    }
    for (const char* folder : {"bin", "log", "db\\dict1"})
        if (!create_windows_folders(dbdir + folder, error)) return false;
    return true;
}

}  // namespace qf
