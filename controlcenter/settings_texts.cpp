#include "settings_texts.h"

#include <store_recovery.h>

const SettingsStoreTexts kTopicStoreTexts = {
    "An error occurred while retrieving your current topic settings.\nThis will now default to the original factory "
    "settings.",
    "Error - Detected on current topic settings",
    QF_TAMPERED_TOPICS,
    "You have selected to override your current topic settings.\nThis will now default to the original factory "
    "settings.\nAre you sure ?",
};

const SettingsStoreTexts kProtocolStoreTexts = {
    "An error occurred while retrieving your disallowed protocol settings.\nThis will now default to the original "
    "factory settings.",
    "Error - Detected on current settings",
    QF_TAMPERED_PROTOCOLS,
    "You have selected to override your current settings.\nThis will now default to the original factory "
    "settings.\nAre you sure ?",
};

const SettingsStoreTexts kRsacStoreTexts = {
    "An error occurred while retrieving your current RSACi settings.\nThis will now default to the original factory "
    "settings.",
    "Error - Detected on current RSACi settings",
    QF_TAMPERED_RSAC,
    "You have selected to override your current RSACi settings.\nThis will now default to the original factory "
    "settings.\nAre you sure ?",
};

const SettingsStoreTexts kSafeSurfStoreTexts = {
    "An error occurred while retrieving your current SafeSurf settings.\nThis will now default to the original "
    "factory settings.",
    "Error - Detected on current SafeSurf settings",
    QF_TAMPERED_SAFESURF,
    "You have selected to override your current SafeSurf settings.\nThis will now default to the original factory "
    "settings.\nAre you sure ?",
};

const SettingsStoreTexts kTimeStoreTexts = {
    "An error occurred while retrieving your current time settings.\nThis will now default to the original factory "
    "settings.",
    "Error - Detected on current time settings",
    QF_TAMPERED_TIMES,
    "You have selected to override your current time settings.\nThis will now default to the original factory "
    "settings.\nAre you sure ?",
};

const char kResetCaption[] = "Reset original factory settings";

int EntriesInUse(int count) { return count < 0 ? 0 : (count > 20 ? 20 : count); }
