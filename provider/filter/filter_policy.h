// The filter's process-wide state: built once by filter_load_policy, read by every hook.
#pragma once

#include <windows.h>

#include <atomic>

#include <addrrec.h>
#include <sockrec.h>
#include <termscan.h>
#include <vtfw.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>

struct FilterPolicy {
    // Lists, filled at load and only read afterwards.
    TermSlot words[TERMSCAN_WORD_CAPACITY];
    INT wordCount;
    TermSlot topics[TERMSCAN_TOPIC_CAPACITY];
    INT topicCount;
    TermSlot phrases[TERMSCAN_PHRASE_CAPACITY];
    INT phraseCount;
    TermSlot disallowedSites[TERMSCAN_SITE_CAPACITY];
    INT disallowedSiteCount;
    TermSlot unchangedSites[TERMSCAN_SITE_CAPACITY];
    INT unchangedSiteCount;
    TermSlot cleaningSites[TERMSCAN_SITE_CAPACITY];
    INT cleaningSiteCount;

    // Settings records, read at load.
    RsacSettings rsac;
    SafeSurfSettings safeSurf;
    ProtocolRuleTable protocols;
    AccessTimeTable accessTimes;

    // Protocol block flags derived from the protocol rules.
    INT blockFileTransfer;
    INT blockTelnet;
    INT blockMail;
    INT blockWeb;
    INT blockNews;
    INT blockSecure;
    INT blockChat;

    // Record tables: changed by the hooks; the record libraries are safe for concurrent use.
    SocketRecord sockets[SOCKREC_CAPACITY];
    INT socketCount;
    AddressRecord addresses[ADDRREC_CAPACITY];
    INT addressCount;

    // The almost-up alert has been shown since the allowance last reported 0 or 1.
    std::atomic<int> timeWarningShown;
    // 1 once the load has finished, for good.
    std::atomic<int> loaded;
};

extern FilterPolicy g_filterPolicy;

// True once the policy is loaded; the plain send and receive hooks pass data until then.
inline bool filter_policy_ready() { return g_filterPolicy.loaded.load(std::memory_order_acquire) != 0; }
