// How the Control Center reads a settings store, in its dialogs and on its command line: a failed
// read is reported with the store's error text, the factory settings are restored into the record
// and stored, and, once stored, the store's warning line is logged (where the reader logs it).
#pragma once

#include "settings_texts.h"

#include <store_recovery.h>
#include <vtlogger.h>

// Read or Restored: record holds settings to go on with. RestoreFailed: the factory settings
// could not be stored either. report(texts) tells the person of a failed read.
template <class Record, class Report>
StoreRead ReadSettingsStore(Record* record, int (*init)(Record*), int (*read)(Record*), int (*regen)(Record*),
                            const SettingsStoreTexts& texts, bool logWarning, Report&& report) {
    return qf_read_store(record, init, read, regen, [&](StoreRead result) {
        report(texts);
        if (result == StoreRead::Restored && logWarning) VTLogger_Submit("WARNING", 0, texts.tamperedLog);
    });
}
