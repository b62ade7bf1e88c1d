// Outbound stream data: web requests are judged by their host and content, mail commands switch
// the inspection of mail text on and off, DNS queries on connected sockets are checked.
#include "filter.h"
#include "filter_policy.h"
#include "filter_ports.h"
#include "filter_records.h"
#include "filter_report.h"
#include "filter_scan.h"

#include <string.h>

#include <asciicase.h>

namespace {

const WORD kWebPort = FILTER_PORT_HTTP;
// The port that the data of other protocols is scanned with on its way out.
const WORD kOtherScanPort = FILTER_PORT_NNTP;
// Most characters of a request target that a "FETCH" line shows.
const size_t kTargetMax = 80;

bool begins_with(const char* data, size_t length, const char* prefix) {
    size_t n = strlen(prefix);
    return length >= n && memcmp(data, prefix, n) == 0;
}

bool contains(const char* data, size_t length, const char* needle) {
    size_t n = strlen(needle);
    for (size_t i = 0; i + n <= length; ++i)
        if (memcmp(data + i, needle, n) == 0) return true;
    return false;
}

// A first line that begins with "POST" or "GET" and names "HTTP" is a web request, whatever
// the port. A send without a carriage return is one line: a request line cut before its end
// still makes the connection web traffic.
bool is_web_request(const char* data, DWORD length) {
    const void* cr = memchr(data, '\r', length);
    const size_t line = cr ? static_cast<size_t>(static_cast<const char*>(cr) - data) : length;
    return (begins_with(data, line, "POST") || begins_with(data, line, "GET")) && contains(data, line, "HTTP");
}

// The value of the first Host header: a line that starts with "Host:" in any case (header names
// are case-insensitive, and a name inside another header's, such as "X-Forwarded-Host:", is not
// it), from the first character after the colon and its blanks up to the next carriage return,
// cut to fit host. Empty when no carriage return ends it within the data.
void find_host(const char* data, DWORD length, char* host, size_t hostSize) {
    const size_t nameLength = 5;  // "Host:"
    for (size_t at = 0; at < length;) {
        if (length - at < nameLength) return;
        if (qf_ascii_equal_nocase(data + at, "Host:", nameLength)) {
            size_t start = at + nameLength;
            while (start < length && (data[start] == ' ' || data[start] == '\t')) ++start;
            const void* cr = memchr(data + start, '\r', length - start);
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
        const void* lineEnd = memchr(data + at, '\n', length - at);
        if (!lineEnd) return;
        at = static_cast<const char*>(lineEnd) - data + 1;
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
Decision judge_host(const FilterPolicy& p, AddressRecord& address, const char* host, const char* addressText) {
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

int inspect_web_request(const FilterPolicy& p, SocketRecord* record, char* data, DWORD length) {
    const HeldAddress address(record->address);
    if (!address) return 1;

    char addressText[FILTER_ADDRESS_TEXT_SIZE];
    filter_address_text(address->address, addressText);
    Decision decision = Decision::Inspect;
    if (address->hostName[0] == 0) {
        char host[FILTER_TEXT_SIZE] = {};
        find_host(data, length, host, sizeof host);
        if (host[0]) decision = judge_host(p, *address, host, addressText);
    }

    if (decision == Decision::Deny) {
        filter_blank(data, length);
        filter_blacklist_socket(record->socket);
        address->status = ADDRESS_STATUS_DISALLOWED;
        filter_log_site(FILTER_KIND_DENY, kWebPort, address->hostName, addressText, "disallowed content encountered.");
        return 0;
    }
    if (decision == Decision::Pass) {
        filter_log_site(FILTER_KIND_ALLOW, kWebPort, address->hostName, addressText, "allow list - leave unchanged.");
        // Nothing more on this socket is inspected.
        filter_delete_socket(record->socket);
        return 1;
    }

    char target[kTargetMax + 1];
    find_target(data, length, target);
    filter_log(FILTER_KIND_FETCH, kWebPort, "http://%s%s", address->hostName[0] ? address->hostName : addressText,
               target);
    if (address->cleaningFlag == ADDRESS_CLEAN_ALWAYS) {
        filter_scan_socket(record, data, length, kWebPort, 0);
        return 1;
    }
    if (filter_is_blocked(record)) {
        filter_blank(data, length);
        return 0;
    }
    const DWORD violations = filter_scan_socket(record, data, length, kWebPort, 0);
    if (violations == 0) return 1;
    filter_block_socket(record, data, length);
    filter_log_violations(kWebPort, address->hostName, addressText, violations);
    filter_alert(FILTER_CAPTION, FILTER_ALERT_CONTENT);
    return 0;
}

}  // namespace

int filter_inspect_send(SOCKET socket, char* data, DWORD length) {
    if (!filter_policy_ready() || !data || length == 0) return 1;
    const FilterPolicy& p = filter_policy();
    const HeldSocket record(socket);
    if (!record) return 1;

    if (filter_port(record.get()) != kWebPort && length >= 8 && is_web_request(data, length))
        filter_set_port(record.get(), kWebPort);

    const WORD port = filter_port(record.get());
    switch (filter_port_rule(port).inspection) {
    case FilterInspection::Web:
        return inspect_web_request(p, record.get(), data, length);
    case FilterInspection::MailSubmission:
        // Mail text runs from "DATA" to the end mark.
        if (begins_with(data, length, "DATA"))
            filter_set_transfer(record.get(), FILTER_TRANSFER_ON);
        else if (begins_with(data, length, "\r\n.") || begins_with(data, length, ".\r\n"))
            filter_set_transfer(record.get(), FILTER_TRANSFER_OFF);
        if (filter_transfer(record.get()) == FILTER_TRANSFER_ON) filter_scan_socket(record.get(), data, length, port, 0);
        return 1;
    case FilterInspection::NameQueries:
        filter_check_site_query(data, length);
        return 1;
    case FilterInspection::MailRetrieval:
        // Retrieved mail is inspected after "RETR" only.
        filter_set_transfer(record.get(), begins_with(data, length, "RETR") ? FILTER_TRANSFER_ON : FILTER_TRANSFER_OFF);
        return 1;
    case FilterInspection::Never:
        return 1;
    default:
        filter_scan_socket(record.get(), data, length, kOtherScanPort, 0);
        return 1;
    }
}
