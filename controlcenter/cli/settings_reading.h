// Reading a settings store for a command as its dialog reads it: a failed read is reported, the
// factory settings are restored and the warning is logged; only a failed restore stops the
// command.
#pragma once

#include "cli_output.h"

#include <settings_store_read.h>

#include <stdio.h>

#include <string>

// True when record holds settings to go on with; false after reporting that it does not.
template <class Record>
bool ReadSettings(Record* record, int (*init)(Record*), int (*read)(Record*), int (*regen)(Record*),
                  const SettingsStoreTexts& texts) {
    const StoreRead outcome =
        ReadSettingsStore(record, init, read, regen, texts, true, [](const SettingsStoreTexts& failed) {
            fprintf(stderr, "quillfence: %s\n", failed.readError);
            VTLogger_Init();
        });
    if (outcome == StoreRead::RestoreFailed) {
        Failure("the factory settings cannot be stored either");
        return false;
    }
    return true;
}

// The whole of text as a number from low to high.
bool ParseNumber(const std::string& text, int low, int high, int* value);
