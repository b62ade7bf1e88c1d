#include "filter_scan.h"

#include <string.h>

#include <addrrec.h>
#include <qfatomic.h>
#include <termscan.h>

#include "filter_policy.h"
#include "filter_records.h"

namespace {
const char kWildcard = '*';
}

DWORD filter_scan(const char* data, DWORD length, WORD port, int contentFlag) {
    const FilterPolicy& p = filter_policy();
    DWORD counter = 0;
    termscan_process_containsword(data, length, p.phrases, p.phraseCount, port, &counter, kWildcard);
    termscan_process(data, length, p.topics, p.topicCount, port, contentFlag, 0, &counter, kWildcard);
    termscan_process_containsword(data, length, p.words, p.wordCount, port, &counter, kWildcard);
    return counter;
}

DWORD filter_scan_socket(SocketRecord* record, const char* data, DWORD length, WORD port, int contentFlag) {
    return qf_atomic_add_saturating(&record->violationCount, filter_scan(data, length, port, contentFlag));
}

bool filter_name_in(const char* name, const TermSlot* table, INT count) {
    return termscan_search_containsword(name, static_cast<int>(strlen(name)), table, count) == TERMSCAN_CONTAINED;
}

DWORD filter_topic_hits_in_name(const char* name, WORD port) {
    const FilterPolicy& p = filter_policy();
    DWORD counter = 0;
    termscan_process(name, static_cast<DWORD>(strlen(name)), p.topics, p.topicCount, port, 0, 1, &counter, kWildcard);
    return counter;
}

void filter_blank(char* data, DWORD length) { memset(data, ' ', length); }

void filter_block_socket(const SocketRecord* record, char* data, DWORD length) {
    filter_blank(data, length);
    filter_blacklist_socket(record->socket);
    const HeldAddress address(record->address);
    if (address) address->status = ADDRESS_STATUS_DISALLOWED;
}
