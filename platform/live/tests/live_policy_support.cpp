// The live tests' policy and access log, through the system's own stores (Windows side of the
// helpers).
#include "live_test_support.h"

#include <windows.h>

#include <lexstore.h>

#include <algorithm>
#include <vtfw.h>
#include <vtlogger.h>
#include <vtperiod.h>
#include <vtmessage.h>
#include <vtrsac.h>

namespace qf_live_test {

bool add_list_entry(const char* key, int type) {
    if (lexs_openit() != 1) return false;
    char value[LEXS_VALUE_SIZE] = {};
    int inserted = lexs_insertdb(value, key, type, -1);
    lexs_closedbase();
    return inserted == 1;
}

bool set_rsac_limits(int sex, int violence, int language, int nudity) {
    RsacSettings settings = {1, sex, violence, language, nudity};
    return vtrsac_write(&settings) == 1;
}

bool block_protocol(int port) {
    ProtocolRuleTable rules{};
    if (vtfw_read(&rules) != 1) return false;
    bool found = false;
    for (INT i = 0; i < rules.count; ++i) {
        if (rules.rules[i].port != port) continue;
        rules.rules[i].blocked = 1;
        found = true;
    }
    return found && vtfw_write(&rules) == 1;
}

bool refuse_every_access_time() {
    AccessTimeTable times{};
    if (vtperiod_read(&times) != 1) return false;
    times.enabled = 1;
    for (auto& day : times.slots)
        for (INT& slot : day) slot = 0;
    return vtperiod_write(&times) == 1;
}

// The log is opened for each read and released after it: every test case has a root of its own.
int last_log_id() {
    VTLogEntry entries[64];
    int last = 0;
    for (int n; (n = VTLogger_ReadEntries(last, entries, 64)) > 0;) last = entries[n - 1].id;
    VTLogger_Free();
    return last;
}

std::vector<LogLine> log_after(int id) {
    std::vector<LogLine> lines;
    VTLogEntry entries[64];
    for (int n; (n = VTLogger_ReadEntries(id, entries, 64)) > 0;) {
        for (int i = 0; i < n; ++i) lines.push_back({entries[i].kind, entries[i].text, entries[i].port});
        id = entries[n - 1].id;
    }
    VTLogger_Free();
    return lines;
}

std::vector<std::string> alert_captions(size_t skip) {
    std::vector<std::string> captions;
    VTAlert alerts[64];
    INT id = 0;
    for (int n; (n = VTMessage_ReadAlerts(id, alerts, 64)) > 0; id = alerts[n - 1].id)
        for (int i = 0; i < n; ++i) captions.push_back(alerts[i].caption);
    VTMessage_Close();
    captions.erase(captions.begin(), captions.begin() + static_cast<long>(std::min(skip, captions.size())));
    return captions;
}

}  // namespace qf_live_test
