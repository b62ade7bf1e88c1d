// The seeding steps, in order. A new part of the machine is one more line here.
#include "seed_steps.h"
#include "winsock_seed.h"

namespace qf {

const SeedStepEntry kSeedSteps[] = {
    {"Windows folders", seed_windows_folders},
    {"Windows version", seed_windows_version},
    {"installation folders", seed_install_folders},
    {"topic word dictionary", seed_word_dictionary},
    {"topic list", seed_topic_list},
    {"settings stores", seed_settings_stores},
    {"Winsock catalog", seed_winsock_catalog},
    {"name server", seed_name_server},
};

const int kSeedStepCount = sizeof(kSeedSteps) / sizeof(kSeedSteps[0]);

}  // namespace qf
