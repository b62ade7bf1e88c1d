// machine_init: checks the root, points the process at it and runs the seeding steps in order.
#include "machine.h"
#include "seed_steps.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

namespace qf {

bool machine_init(const std::string& root, std::string& error) {
    namespace fs = std::filesystem;
    if (root.empty()) {
        error = "the machine root must not be empty";
        return false;
    }
    std::error_code failure;
    fs::path path = fs::absolute(root, failure);
    if (failure) {
        error = "cannot resolve the machine root " + root + ": " + failure.message();
        return false;
    }
    fs::file_status status = fs::status(path, failure);
    if (fs::exists(status) && !fs::is_directory(status)) {
        error = "the machine root " + path.string() + " exists and is not a directory";
        return false;
    }
    fs::create_directories(path, failure);
    if (failure) {
        error = "cannot create the machine root " + path.string() + ": " + failure.message();
        return false;
    }
    // Every Win32 call below (registry, files) works on the root named here.
    setenv("QUILLFENCE_ROOT", path.c_str(), 1);
    for (int i = 0; i < kSeedStepCount; ++i) {
        std::string stepError;
        if (!kSeedSteps[i].run(stepError)) {
            error = std::string(kSeedSteps[i].name) + ": " + stepError;
            return false;
        }
    }
    return true;
}

}  // namespace qf
