// The rule every reader of a settings store or of the topic list follows: read the store; when
// the read fails, restore its factory settings (which the record then holds) and go on with
// them, after a warning.
#pragma once

// The log line (kind "WARNING", port 0) of a failed read, per store.
#define QF_TAMPERED_TOPICS "Your topic settings have been tampered with. The default factory settings will be used."
#define QF_TAMPERED_PROTOCOLS \
    "Your disallowed protocol settings have been tampered with. The default factory settings will be used."
#define QF_TAMPERED_RSAC "Your RSACi settings have been tampered with. The default factory settings will be used."
#define QF_TAMPERED_SAFESURF "Your SafeSurf settings have been tampered with. The default factory settings will be used."
#define QF_TAMPERED_TIMES "Your time settings have been tampered with. The default factory settings will be used."

enum class StoreRead {
    Read,           // the stored settings are in the record
    Restored,       // the read failed; the factory settings were stored and are in the record
    RestoreFailed,  // the read failed and the factory settings could not be stored (the record
                    // holds them all the same)
};

// init may be null (a store whose read does not need it). warn(outcome) is called when the read
// failed, before the caller goes on with the factory settings.
template <class Record, class Warn>
StoreRead qf_read_store(Record* record, int (*init)(Record*), int (*read)(Record*), int (*regen)(Record*),
                        Warn&& warn) {
    if (init) init(record);
    if (read(record) == 1) return StoreRead::Read;
    const StoreRead outcome = regen(record) == 1 ? StoreRead::Restored : StoreRead::RestoreFailed;
    warn(outcome);
    return outcome;
}
