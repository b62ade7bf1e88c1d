// SelectMachineRoot: the machine root of the Win32 stand-in, found as quillfence-machine finds it.
#include "machine_root_option.h"

#include <qf/machine_root.h>

#include <stdlib.h>

#include <filesystem>
#include <system_error>

bool SelectMachineRoot(bool rootGiven, const std::string& dir, std::string& error) {
    namespace fs = std::filesystem;
    const std::string named = rootGiven ? dir : qf::machine_root();
    std::error_code failure;
    fs::path root = fs::absolute(named, failure);
    if (failure || named.empty()) {
        error = "cannot resolve the machine root '" + named + "'";
        return false;
    }
    // A missing registry would be created by the first registry call: refuse instead of making
    // an empty machine that reads as unfiltered.
    if (!fs::is_directory(root, failure) || !fs::is_regular_file(root / "registry.db", failure)) {
        error = "there is no machine root at " + root.string() +
                " (create it with: quillfence-machine init --root " + root.string() + ")";
        return false;
    }
    setenv("QUILLFENCE_ROOT", root.c_str(), 1);
    return true;
}
