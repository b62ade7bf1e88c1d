// Site names: DNS queries for forbidden names are spoiled before they leave, DNS answers teach
// the address table which addresses belong to which name; and the two datagram hooks.
#include "filter.h"
#include "filter_policy.h"
#include "filter_report.h"
#include "filter_scan.h"
#include "filter_target.h"

#include <vtdns.h>

namespace {

const WORD kDnsPort = 53;

// The transfer flag of a port-53 record made by a datagram send: it lasts for one query and its
// answer. A record made by a connect keeps 1 and lives until the socket is closed.
const WORD kDnsExchange = 2;

bool is_violation(const char* name) {
    const FilterPolicy& p = g_filterPolicy;
    return filter_name_in(name, p.disallowedSites, p.disallowedSiteCount) ||
           filter_name_in(name, p.words, p.wordCount) || filter_topic_hits_in_name(name, kDnsPort) > 0;
}

void scan_datagram(const char* data, DWORD length, WORD port) {
    DWORD counter = 0;
    filter_scan(data, length, port, 0, &counter);
}

}  // namespace

void filter_check_site_query(char* message, DWORD length) {
    filter_load_policy();
    if (!message) return;
    const FilterPolicy& p = g_filterPolicy;
    char name[VTDNS_NAME_SIZE] = {};
    vtdns_query_retrieve_name(message, length, name);
    name[VTDNS_NAME_SIZE - 1] = 0;
    if (filter_name_in(name, p.unchangedSites, p.unchangedSiteCount)) return;
    if (!is_violation(name)) return;
    filter_log(FILTER_KIND_BLOCK, kDnsPort, "Violation in site name (%s)", name);
    filter_alert(FILTER_CAPTION,
                 "A violation has occured in the site name you requested.\nQuillfence has blocked your access to "
                 "this site.");
    vtdns_query_clean_name(message, length);
}

void filter_record_site_answer(const char* message, DWORD length) {
    filter_load_policy();
    if (!message) return;
    FilterPolicy& p = g_filterPolicy;
    char name[VTDNS_NAME_SIZE] = {};
    INT count = 0;
    DWORD addresses[VTDNS_MAX_ADDRESSES] = {};
    vtdns_response_retrieve_name_ipaddr(message, length, name, &count, addresses);
    name[VTDNS_NAME_SIZE - 1] = 0;
    if (count <= 0) return;
    if (count > VTDNS_MAX_ADDRESSES) count = VTDNS_MAX_ADDRESSES;

    const WORD cleaning = filter_name_in(name, p.cleaningSites, p.cleaningSiteCount) ? ADDRESS_CLEAN_ALWAYS
                                                                                       : ADDRESS_CLEAN_NO;
    WORD status = ADDRESS_STATUS_INSPECT;
    if (filter_name_in(name, p.unchangedSites, p.unchangedSiteCount))
        status = ADDRESS_STATUS_UNCHANGED;
    else if (filter_name_in(name, p.disallowedSites, p.disallowedSiteCount))
        status = ADDRESS_STATUS_DISALLOWED;
    // The answer replaces whatever was known of each address, also a block for content.
    for (INT i = 0; i < count; ++i) {
        addrrec_delete(p.addresses, &p.addressCount, addresses[i]);
        addrrec_add(p.addresses, &p.addressCount, addresses[i], status, name, cleaning);
    }
}

void filter_inspect_sendto(SOCKET socket, char* data, DWORD length, const struct sockaddr* destination) {
    if (!data || length == 0) return;
    filter_load_policy();
    FilterPolicy& p = g_filterPolicy;
    SocketRecord* record = nullptr;
    const bool hasRecord = sockrec_retrieve(p.sockets, p.socketCount, socket, &record) == 1;

    // Without a destination the datagram goes where the socket is connected to.
    const FilterTarget t = filter_read_target(destination);
    WORD port = t.port;
    if (!destination && hasRecord) port = record->port;

    if (port != kDnsPort) {
        scan_datagram(data, length, port);
        return;
    }
    // A socket connected to the name server keeps its record; any other gets one for this
    // exchange.
    if (!hasRecord || record->port != kDnsPort || record->transferFlag == kDnsExchange) {
        sockrec_delete(p.sockets, &p.socketCount, socket);
        sockrec_add(p.sockets, &p.socketCount, socket, kDnsPort, t.address, kDnsExchange, 0, 0, 0, 0, 0);
    }
    filter_check_site_query(data, length);
}

void filter_inspect_recvfrom(SOCKET socket, char* data, DWORD length, const struct sockaddr* source) {
    (void)source;
    if (!data || length == 0) return;
    filter_load_policy();
    FilterPolicy& p = g_filterPolicy;
    SocketRecord* record = nullptr;
    if (sockrec_retrieve(p.sockets, p.socketCount, socket, &record) != 1) {
        scan_datagram(data, length, 0);
        return;
    }
    if (record->port != kDnsPort) {
        scan_datagram(data, length, record->port);
        return;
    }
    const bool exchangeOver = record->transferFlag == kDnsExchange;
    filter_record_site_answer(data, length);
    if (exchangeOver) sockrec_delete(p.sockets, &p.socketCount, socket);
}
