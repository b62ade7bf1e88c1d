// The seeding steps of machine_init, each a function that completes one part of the machine.
#pragma once

#include <string>

namespace qf {

// A step leaves what is already there untouched. False, with a sentence in error, on failure.
using SeedStep = bool (*)(std::string& error);

struct SeedStepEntry {
    const char* name;
    SeedStep run;
};

// The steps in the order they run.
extern const SeedStepEntry kSeedSteps[];
extern const int kSeedStepCount;

bool seed_windows_folders(std::string& error);
bool seed_windows_version(std::string& error);
bool seed_install_folders(std::string& error);
bool seed_word_dictionary(std::string& error);
bool seed_topic_list(std::string& error);
bool seed_settings_stores(std::string& error);
bool seed_name_server(std::string& error);

}  // namespace qf
