// filter_load_policy: the one-time load of the lists, the record tables and the settings.
#include "filter.h"
#include "filter_policy.h"
#include "filter_records.h"
#include "filter_report.h"

#include <atomic>

#include <store_recovery.h>
#include <termscan.h>
#include <vtfw.h>
#include <vtlogger.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>
#include <vttray.h>

namespace {

FilterPolicy g_policy;
// 1 once the load has finished, for good.
std::atomic<int> g_loaded{0};

// A store that cannot be read gets its factory settings and a "WARNING" line.
template <class Record>
void read_store(Record& record, int (*init)(Record*), int (*read)(Record*), int (*regen)(Record*),
                const char* tamperText) {
    qf_read_store(&record, init, read, regen, [&](StoreRead) { filter_log(FILTER_KIND_WARNING, 0, "%s", tamperText); });
}

void load_lists(FilterPolicy& p) {
    p.wordCount = p.topicCount = p.phraseCount = 0;
    p.disallowedSiteCount = p.unchangedSiteCount = p.cleaningSiteCount = 0;
    termscan_init(p.words, &p.wordCount, p.topics, &p.topicCount, p.phrases, &p.phraseCount,
                  p.disallowedSites, &p.disallowedSiteCount, p.unchangedSites, &p.unchangedSiteCount,
                  p.cleaningSites, &p.cleaningSiteCount);
}

void load_rsac(RsacSettings& r) {
    read_store(r, vtrsac_init, vtrsac_read, vtrsac_regen, QF_TAMPERED_RSAC);
    if (r.enabled == 1)
        filter_log(FILTER_KIND_NONE, 0, "RSACi: S [%d]  V [%d]  N [%d]  L [%d]", r.sexLevel, r.violenceLevel,
                   r.nudityLevel, r.languageLevel);
    else
        filter_log(FILTER_KIND_NONE, 0, "Filtering on RSACi ratings disabled.");
}

void load_safesurf(SafeSurfSettings& s) {
    read_store(s, vtssurf_init, vtssurf_read, vtssurf_regen, QF_TAMPERED_SAFESURF);
    if (s.enabled != 0) {
        const INT* l = s.levels;
        filter_log(FILTER_KIND_NONE, 0,
                   "SafeSurf: SS~~000 [%d]  SS~~001 [%d]  SS~~002 [%d]  SS~~003 [%d]  SS~~004 [%d]  "
                   "SS~~005 [%d]  SS~~006 [%d]  SS~~007 [%d]  SS~~008 [%d]  SS~~009 [%d]  SS~~00A [%d]",
                   l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], l[8], l[9], l[10]);
    } else {
        filter_log(FILTER_KIND_NONE, 0, "Filtering on SafeSurf ratings disabled.");
    }
}

void load_protocols(FilterPolicy& p) {
    ProtocolRuleTable& t = p.protocols;
    for (INT& flag : p.blocked) flag = 0;
    read_store(t, vtfw_init, vtfw_read, vtfw_regen, QF_TAMPERED_PROTOCOLS);
    // A count outside the table is never followed past its 20 entries.
    INT count = t.count < 0 ? 0 : (t.count > PROTOCOL_RULE_CAPACITY ? PROTOCOL_RULE_CAPACITY : t.count);
    for (INT i = 0; i < count; ++i) {
        ProtocolRule& rule = t.rules[i];
        if (rule.blocked == 0) continue;
        filter_log(FILTER_KIND_NONE, 0, "Firewall Rule: BLOCK  -  %.*s", PROTOCOL_NAME_SIZE, rule.name);
        // A rule for a port the filter does not know is logged and blocks nothing.
        const FilterProtocol protocol = filter_rule_protocol(rule.port);
        if (protocol != FilterProtocol::None) p.blocked[static_cast<int>(protocol)] = 1;
    }
}

void load_access_times(AccessTimeTable& a) {
    read_store(a, vtperiod_init, vtperiod_read, vtperiod_regen, QF_TAMPERED_TIMES);
    if (a.enabled != 0)
        filter_log(FILTER_KIND_NONE, 0, "Time management active - warning period set at %d minutes",
                   a.warningMinutes);
    else
        filter_log(FILTER_KIND_NONE, 0, "Time management not active");
}

}  // namespace

const FilterPolicy& filter_policy() { return g_policy; }

bool filter_policy_ready() { return g_loaded.load(std::memory_order_acquire) != 0; }

void filter_load_policy(void) {
    if (filter_policy_ready()) return;

    EnterCriticalSection(vtlsp_startup_lock());
    if (!filter_policy_ready()) {
        FilterPolicy& p = g_policy;
        load_lists(p);
        filter_reset_records();
        VTLogger_Init();
        VTTrayLoad();
        load_rsac(p.rsac);
        load_safesurf(p.safeSurf);
        load_protocols(p);
        load_access_times(p.accessTimes);
        g_loaded.store(1, std::memory_order_release);
    }
    LeaveCriticalSection(vtlsp_startup_lock());
}
