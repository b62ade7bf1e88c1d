// The filter's read-only policy: built once by filter_load_policy, then only read by the hooks.
// The record tables that the hooks change are a separate object (filter_records.h).
#pragma once

#include <windows.h>

#include <termscan.h>
#include <vtfw.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include "filter_ports.h"

struct FilterPolicy {
    // Lists.
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

    // Settings records.
    RsacSettings rsac;
    SafeSurfSettings safeSurf;
    ProtocolRuleTable protocols;
    AccessTimeTable accessTimes;

    // Protocol block flags derived from the protocol rules, one per FilterProtocol.
    INT blocked[static_cast<int>(FilterProtocol::Count)];

    bool blocks(FilterProtocol protocol) const {
        return protocol != FilterProtocol::None && blocked[static_cast<int>(protocol)] != 0;
    }
};

// The loaded policy. Only filter_load_policy writes it; the hooks see it read-only.
const FilterPolicy& filter_policy();

// True once the policy is loaded; the plain send and receive hooks pass data until then.
bool filter_policy_ready();
