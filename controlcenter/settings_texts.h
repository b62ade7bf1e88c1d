// What the Control Center says about each settings store: the error box of a read that failed,
// the warning logged once the factory settings are restored (the filter logs the same line), and
// the question before a factory reset.
#pragma once

struct SettingsStoreTexts {
    const char* readError;         // shown with the error icon
    const char* readErrorCaption;
    const char* tamperedLog;       // logged with kind "WARNING", port 0
    const char* resetQuestion;     // Yes and No, No the default, caption kResetCaption
};

extern const SettingsStoreTexts kTopicStoreTexts;
extern const SettingsStoreTexts kProtocolStoreTexts;
extern const SettingsStoreTexts kRsacStoreTexts;
extern const SettingsStoreTexts kSafeSurfStoreTexts;
extern const SettingsStoreTexts kTimeStoreTexts;
extern const char kResetCaption[];  // "Reset original factory settings"

// Entries 0 .. EntriesInUse(count) - 1 of a topic record or protocol rule table are in use: a
// stored count outside 0..20 never reaches past the last entry.
int EntriesInUse(int count);
