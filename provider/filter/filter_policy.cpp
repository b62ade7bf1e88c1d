// filter_load_policy: the one-time load of the lists, the record tables and the settings.
#include "filter.h"
#include "filter_policy.h"
#include "filter_report.h"

#include <addrrec.h>
#include <sockrec.h>
#include <termscan.h>
#include <vtfw.h>
#include <vtlogger.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>
#include <vttray.h>

FilterPolicy g_filterPolicy;

namespace {

void load_lists(FilterPolicy& p) {
    p.wordCount = p.topicCount = p.phraseCount = 0;
    p.disallowedSiteCount = p.unchangedSiteCount = p.cleaningSiteCount = 0;
    termscan_init(p.words, &p.wordCount, p.topics, &p.topicCount, p.phrases, &p.phraseCount,
                  p.disallowedSites, &p.disallowedSiteCount, p.unchangedSites, &p.unchangedSiteCount,
                  p.cleaningSites, &p.cleaningSiteCount);
}

void load_rsac(RsacSettings& r) {
    vtrsac_init(&r);
    if (vtrsac_read(&r) == 0) {
        vtrsac_regen(&r);
        filter_log(FILTER_KIND_WARNING, 0,
                   "Your RSACi settings have been tampered with. The default factory settings will be used.");
    }
    if (r.enabled == 1)
        filter_log(FILTER_KIND_NONE, 0, "RSACi: S [%d]  V [%d]  N [%d]  L [%d]", r.sexLevel, r.violenceLevel,
                   r.nudityLevel, r.languageLevel);
    else
        filter_log(FILTER_KIND_NONE, 0, "Filtering on RSACi ratings disabled.");
}

void load_safesurf(SafeSurfSettings& s) {
    vtssurf_init(&s);
    if (vtssurf_read(&s) == 0) {
        vtssurf_regen(&s);
        filter_log(FILTER_KIND_WARNING, 0,
                   "Your SafeSurf settings have been tampered with. The default factory settings will be used.");
    }
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

void set_block_flag(FilterPolicy& p, INT port) {
    switch (port) {
    case 21: p.blockFileTransfer = 1; break;
    case 23: p.blockTelnet = 1; break;
    case 25: p.blockMail = 1; break;
    case 80: p.blockWeb = 1; break;
    case 119: p.blockNews = 1; break;
    case 443: p.blockSecure = 1; break;
    case 6667: p.blockChat = 1; break;
    default: break;  // logged as a rule, blocks nothing
    }
}

void load_protocols(FilterPolicy& p) {
    ProtocolRuleTable& t = p.protocols;
    p.blockFileTransfer = p.blockTelnet = p.blockMail = p.blockWeb = 0;
    p.blockNews = p.blockSecure = p.blockChat = 0;
    vtfw_init(&t);
    if (vtfw_read(&t) == 0) {
        vtfw_regen(&t);
        filter_log(FILTER_KIND_WARNING, 0,
                   "Your disallowed protocol settings have been tampered with. The default factory settings will "
                   "be used.");
    }
    // A count outside the table is never followed past its 20 entries.
    INT count = t.count < 0 ? 0 : (t.count > PROTOCOL_RULE_CAPACITY ? PROTOCOL_RULE_CAPACITY : t.count);
    for (INT i = 0; i < count; ++i) {
        ProtocolRule& rule = t.rules[i];
        if (rule.blocked == 0) continue;
        filter_log(FILTER_KIND_NONE, 0, "Firewall Rule: BLOCK  -  %.*s", PROTOCOL_NAME_SIZE, rule.name);
        set_block_flag(p, rule.port);
    }
}

void load_access_times(AccessTimeTable& a) {
    vtperiod_init(&a);
    if (vtperiod_read(&a) == 0) {
        vtperiod_regen(&a);
        filter_log(FILTER_KIND_WARNING, 0,
                   "Your time settings have been tampered with. The default factory settings will be used.");
    }
    if (a.enabled != 0)
        filter_log(FILTER_KIND_NONE, 0, "Time management active - warning period set at %d minutes",
                   a.warningMinutes);
    else
        filter_log(FILTER_KIND_NONE, 0, "Time management not active");
}

}  // namespace

void filter_load_policy(void) {
    FilterPolicy& p = g_filterPolicy;
    if (filter_policy_ready()) return;

    EnterCriticalSection(vtlsp_startup_lock());
    if (!filter_policy_ready()) {
        load_lists(p);
        sockrec_init();
        p.socketCount = 0;
        addrrec_init();
        p.addressCount = 0;
        VTLogger_Init();
        VTTrayLoad();
        load_rsac(p.rsac);
        load_safesurf(p.safeSurf);
        load_protocols(p);
        load_access_times(p.accessTimes);
        p.timeWarningShown.store(0);
        p.loaded.store(1, std::memory_order_release);
    }
    LeaveCriticalSection(vtlsp_startup_lock());
}
