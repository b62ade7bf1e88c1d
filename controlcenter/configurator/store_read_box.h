// How a settings dialog reads its store: when the read fails, the store's error box (error icon)
// is shown over the dialog, the factory settings are restored into the record and stored, and,
// when the dialog logs it, the store's warning line is submitted once they are stored.
#pragma once

#include <settings_store_read.h>

#include <dlg_dialog.h>

enum class TamperLog { Submit, Skip };

// Read or Restored: record holds settings to go on with (those read, or the factory settings that
// replaced them). RestoreFailed: the factory settings could not be stored either.
template <class Record>
StoreRead ReadStoreShowingError(CDialog& dialog, Record* record, int (*init)(Record*), int (*read)(Record*),
                           int (*regen)(Record*), const SettingsStoreTexts& texts, TamperLog log) {
    return ReadSettingsStore(record, init, read, regen, texts, log == TamperLog::Submit,
                             [&dialog](const SettingsStoreTexts& failed) {
                                 dialog.MessageBox(failed.readError, failed.readErrorCaption, MB_OK | MB_ICONERROR);
                             });
}
