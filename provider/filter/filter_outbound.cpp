// Outbound stream data: web requests are judged by their host and content, mail commands switch
// the inspection of mail text on and off, DNS queries on connected sockets are checked.
#include "filter.h"
#include "filter_policy.h"
#include "filter_report.h"
#include "filter_scan.h"

#include <string.h>

namespace {

const WORD kWebPort = 80;
// Most characters of a request target that a "FETCH" line shows.
const size_t kTargetMax = 80;

bool begins_with(const char* data, size_t length, const char* prefix) {
    size_t n = strlen(prefix);
    return length >= n && memcmp(data, prefix, n) == 0;
}

bool equal_nocase(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool contains(const char* data, size_t length, const char* needle) {
    size_t n = strlen(needle);
    for (size_t i = 0; i + n <= length; ++i)
        if (memcmp(data + i, needle, n) == 0) return true;
    return false;
}

// A first line that begins with "POST" or "GET" and names "HTTP" is a web request, whatever
// the port.
bool is_web_request(const char* data, DWORD length) {
    const void* cr = memchr(data, '\r', length);
    if (!cr) return false;
    size_t line = static_cast<const char*>(cr) - data;
    return (begins_with(data, line, "POST") || begins_with(data, line, "GET")) && contains(data, line, "HTTP");
}

// The value of the first "Host:" header (capital H; the rest of the name in any case), taken
// from one character after the colon up to the next carriage return, cut to fit host. Empty
// when no carriage return ends it within the data.
void find_host(const char* data, DWORD length, char* host, size_t hostSize) {
    const size_t nameLength = 5;  // "Host:"
    for (size_t at = 0; at < length;) {
        const void* h = memchr(data + at, 'H', length - at);
        if (!h) return;
        at = static_cast<const char*>(h) - data;
        if (length - at < nameLength) return;
        if (equal_nocase(data + at, "Host:", nameLength)) {
            const size_t start = at + nameLength + 1;
            const void* cr = memchr(data + at + nameLength, '\r', length - at - nameLength);
            if (!cr) return;
            const size_t end = static_cast<const char*>(cr) - data;
            if (end > start) {
                size_t n = end - start;
                if (n > hostSize - 1) n = hostSize - 1;
                memcpy(host, data + start, n);
                host[n] = 0;
            }
            return;
        }
        ++at;
    }
}

// The request target: the text after the first space up to the next space, cut to 80
// characters; empty when either space is missing.
void find_target(const char* data, DWORD length, char* target) {
    target[0] = 0;
    const void* first = memchr(data, ' ', length);
    if (!first) return;
    const size_t start = static_cast<const char*>(first) - data + 1;
    const void* second = memchr(data + start, ' ', length - start);
    if (!second) return;
    size_t n = static_cast<const char*>(second) - (data + start);
    if (n > kTargetMax) n = kTargetMax;
    memcpy(target, data + start, n);
    target[n] = 0;
}

// Copies a host into an address record's name field, cut to fit.
void store_host_name(AddressRecord& address, const char* host) {
    const void* end = memchr(host, 0, ADDRREC_HOSTNAME_SIZE - 1);
    size_t n = end ? static_cast<const char*>(end) - host : ADDRREC_HOSTNAME_SIZE - 1;
    memcpy(address.hostName, host, n);
    address.hostName[n] = 0;
}

enum class Decision { Deny, Inspect, Pass };

// The first request with a Host header names the address; the lists judge the name, a later
// match overriding an earlier one.
Decision judge_host(AddressRecord& address, const char* host, const char* addressText) {
    const FilterPolicy& p = g_filterPolicy;
    Decision decision = Decision::Inspect;
    store_host_name(address, host);
    if (filter_name_in(host, p.words, p.wordCount)) decision = Decision::Deny;
    if (filter_topic_hits_in_name(host, kWebPort) > 0) decision = Decision::Deny;
    if (filter_name_in(host, p.cleaningSites, p.cleaningSiteCount)) {
        address.cleaningFlag = ADDRESS_CLEAN_ALWAYS;
        filter_log_site(FILTER_KIND_ALLOW, kWebPort, address.hostName, addressText,
                        "allow list - always apply cleaning.");
        decision = Decision::Inspect;
    }
    if (filter_name_in(host, p.unchangedSites, p.unchangedSiteCount)) {
        address.status = ADDRESS_STATUS_UNCHANGED;
        decision = Decision::Pass;
    }
    if (filter_name_in(host, p.disallowedSites, p.disallowedSiteCount)) {
        address.status = ADDRESS_STATUS_DISALLOWED;
        decision = Decision::Deny;
    }
    return decision;
}

int inspect_web_request(SocketRecord* record, char* data, DWORD length) {
    FilterPolicy& p = g_filterPolicy;
    AddressRecord* address = nullptr;
    if (addrrec_retrieve(p.addresses, p.addressCount, record->address, &address) != 1) return 1;

    char addressText[FILTER_ADDRESS_TEXT_SIZE];
    filter_address_text(address->address, addressText);
    Decision decision = Decision::Inspect;
    if (address->hostName[0] == 0) {
        char host[FILTER_TEXT_SIZE] = {};
        find_host(data, length, host, sizeof host);
        if (host[0]) decision = judge_host(*address, host, addressText);
    }

    if (decision == Decision::Deny) {
        filter_blank(data, length);
        sockrec_blacklist(p.sockets, p.socketCount, record->socket);
        address->status = ADDRESS_STATUS_DISALLOWED;
        filter_log_site(FILTER_KIND_DENY, kWebPort, address->hostName, addressText, "disallowed content encountered.");
        return 0;
    }
    if (decision == Decision::Pass) {
        filter_log_site(FILTER_KIND_ALLOW, kWebPort, address->hostName, addressText, "allow list - leave unchanged.");
        // Nothing more on this socket is inspected.
        sockrec_delete(p.sockets, &p.socketCount, record->socket);
        return 1;
    }

    char target[kTargetMax + 1];
    find_target(data, length, target);
    filter_log(FILTER_KIND_FETCH, kWebPort, "http://%s%s", address->hostName[0] ? address->hostName : addressText,
               target);
    if (address->cleaningFlag == ADDRESS_CLEAN_ALWAYS) {
        filter_scan(data, length, kWebPort, 0, &record->violationCount);
        return 1;
    }
    if (record->blockedFlag == 1) {
        filter_blank(data, length);
        return 0;
    }
    filter_scan(data, length, kWebPort, 0, &record->violationCount);
    if (record->violationCount == 0) return 1;
    filter_block_socket(record, data, length);
    filter_log_violations(kWebPort, address->hostName, addressText, record->violationCount);
    filter_alert(FILTER_CAPTION, FILTER_ALERT_CONTENT);
    return 0;
}

}  // namespace

int filter_inspect_send(SOCKET socket, char* data, DWORD length) {
    if (!filter_policy_ready() || !data || length == 0) return 1;
    FilterPolicy& p = g_filterPolicy;
    SocketRecord* record = nullptr;
    if (sockrec_retrieve(p.sockets, p.socketCount, socket, &record) != 1) return 1;

    if (record->port != kWebPort && length >= 8 && is_web_request(data, length)) record->port = kWebPort;

    switch (record->port) {
    case kWebPort:
        return inspect_web_request(record, data, length);
    case 25:
        // Mail text runs from "DATA" to the end mark.
        if (begins_with(data, length, "DATA"))
            record->transferFlag = 1;
        else if (begins_with(data, length, "\r\n.") || begins_with(data, length, ".\r\n"))
            record->transferFlag = 0;
        if (record->transferFlag == 1) filter_scan(data, length, 25, 0, &record->violationCount);
        return 1;
    case 53:
        filter_check_site_query(data, length);
        return 1;
    case 110:
        // Retrieved mail is inspected after "RETR" only.
        record->transferFlag = begins_with(data, length, "RETR") ? 1 : 0;
        return 1;
    case 443:
        return 1;
    default:
        filter_scan(data, length, 119, 0, &record->violationCount);
        return 1;
    }
}
