// The installed product: DBDIR and the folders under it, and the update server the filter update
// downloads from.
#include "machine_seeding.h"
#include "seed_steps.h"

namespace qf {

namespace {

// The vendor's update server: a name of the reserved .test domain, so a machine that has not been
// pointed at a real server fails its updates at once; "HOST[:PORT]".
const char kUpdateServerValue[] = "UpdateServer";
const char kFactoryUpdateServer[] = "update.quillfence.test";

}  // namespace

bool seed_install_folders(std::string& error) {
    if (!seed_string_value(kProductKey, kDbdirValue, kFactoryDbdir, error)) return false;
    if (!seed_string_value(kProductKey, kUpdateServerValue, kFactoryUpdateServer, error)) return false;
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
