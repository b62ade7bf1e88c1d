// machine_init in the Windows build, for the tests: the machine is the real one (the root names
// its drive C:), and the seeding steps that complete it are those that do not belong to the
// stand-in (its Winsock catalog and name server are Windows' own here).
#include "machine.h"
#include "seed_steps.h"

namespace qf {

const SeedStepEntry kSeedSteps[] = {
    {"Windows folders", seed_windows_folders},
    {"Windows version", seed_windows_version},
    {"installation folders", seed_install_folders},
    {"topic word dictionary", seed_word_dictionary},
    {"topic list", seed_topic_list},
    {"settings stores", seed_settings_stores},
};

const int kSeedStepCount = sizeof(kSeedSteps) / sizeof(kSeedSteps[0]);

bool machine_init(const std::string& root, std::string& error) {
    if (root != "C:/" && root != "C:\\") {
        error = "on Windows the machine root is drive C:, not " + root;
        return false;
    }
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
