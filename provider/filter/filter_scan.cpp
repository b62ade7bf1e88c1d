#include "filter_scan.h"

#include <string.h>

#include <addrrec.h>
#include <termscan.h>

#include "filter_policy.h"

namespace {
const char kWildcard = '*';
}

void filter_scan(const char* data, DWORD length, WORD port, int contentFlag, DWORD* counter) {
    const FilterPolicy& p = g_filterPolicy;
    termscan_process_containsword(data, length, p.phrases, p.phraseCount, port, counter, kWildcard);
    termscan_process(data, length, p.topics, p.topicCount, port, contentFlag, 0, counter, kWildcard);
    termscan_process_containsword(data, length, p.words, p.wordCount, port, counter, kWildcard);
}

bool filter_name_in(const char* name, const TermSlot* table, INT count) {
    return termscan_search_containsword(name, static_cast<int>(strlen(name)), table, count) == TERMSCAN_CONTAINED;
}

DWORD filter_topic_hits_in_name(const char* name, WORD port) {
    const FilterPolicy& p = g_filterPolicy;
    DWORD counter = 0;
    termscan_process(name, static_cast<DWORD>(strlen(name)), p.topics, p.topicCount, port, 0, 1, &counter, kWildcard);
    return counter;
}

void filter_blank(char* data, DWORD length) { memset(data, ' ', length); }

void filter_block_socket(SocketRecord* record, char* data, DWORD length) {
    FilterPolicy& p = g_filterPolicy;
    filter_blank(data, length);
    sockrec_blacklist(p.sockets, p.socketCount, record->socket);
    AddressRecord* address = nullptr;
    if (addrrec_retrieve(p.addresses, p.addressCount, record->address, &address) == 1)
        address->status = ADDRESS_STATUS_DISALLOWED;
}
