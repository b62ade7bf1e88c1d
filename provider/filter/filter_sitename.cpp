// Site names: DNS queries for forbidden names are spoiled before they leave, DNS answers teach
// the address table which addresses belong to which name; and the two datagram hooks.
#include "filter.h"
#include "filter_policy.h"
#include "filter_ports.h"
#include "filter_records.h"
#include "filter_report.h"
#include "filter_scan.h"
#include "filter_target.h"

#include <vtdns.h>

namespace {

const WORD kDnsPort = FILTER_PORT_DNS;

bool is_violation(const FilterPolicy& p, const char* name) {
    return filter_name_in(name, p.disallowedSites, p.disallowedSiteCount) ||
           filter_name_in(name, p.words, p.wordCount) || filter_topic_hits_in_name(name, kDnsPort) > 0;
}

// The counter is not used: a datagram always goes on.
void scan_datagram(const char* data, DWORD length, WORD port) { filter_scan(data, length, port, 0); }

}  // namespace

void filter_check_site_query(char* message, DWORD length) {
    filter_load_policy();
    if (!message) return;
    const FilterPolicy& p = filter_policy();
    char name[VTDNS_NAME_SIZE] = {};
    vtdns_query_retrieve_name(message, length, name);
    name[VTDNS_NAME_SIZE - 1] = 0;
    if (filter_name_in(name, p.unchangedSites, p.unchangedSiteCount)) return;
    if (!is_violation(p, name)) return;
    filter_log(FILTER_KIND_BLOCK, kDnsPort, "Violation in site name (%s)", name);
    filter_alert(FILTER_CAPTION,
                 "A violation has occured in the site name you requested.\nQuillfence has blocked your access to "
                 "this site.");
    vtdns_query_clean_name(message, length);
}

void filter_record_site_answer(const char* message, DWORD length) {
    filter_load_policy();
    if (!message) return;
    const FilterPolicy& p = filter_policy();
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
        filter_delete_address(addresses[i]);
        filter_add_address(addresses[i], status, name, cleaning);
    }
}

void filter_inspect_sendto(SOCKET socket, char* data, DWORD length, const struct sockaddr* destination) {
    if (!data || length == 0) return;
    filter_load_policy();
    bool renew = true;
    const FilterTarget t = filter_read_target(destination);
    WORD port = t.port;
    {
        const HeldSocket record(socket);
        // Without a destination the datagram goes where the socket is connected to.
        if (!destination && record) port = filter_port(record.get());
        // A socket connected to the name server keeps its record; any other gets one for this
        // exchange.
        renew = !record || filter_port(record.get()) != kDnsPort ||
                filter_transfer(record.get()) == FILTER_TRANSFER_DNS_EXCHANGE;
    }
    if (port != kDnsPort) {
        scan_datagram(data, length, port);
        return;
    }
    if (renew) {
        filter_delete_socket(socket);
        filter_add_socket(socket, kDnsPort, t.address, FILTER_TRANSFER_DNS_EXCHANGE);
    }
    filter_check_site_query(data, length);
}

void filter_inspect_recvfrom(SOCKET socket, char* data, DWORD length, const struct sockaddr* source) {
    (void)source;
    if (!data || length == 0) return;
    filter_load_policy();
    WORD port = 0;
    bool exchangeOver = false;
    {
        const HeldSocket record(socket);
        if (!record) {
            scan_datagram(data, length, 0);
            return;
        }
        port = filter_port(record.get());
        exchangeOver = filter_transfer(record.get()) == FILTER_TRANSFER_DNS_EXCHANGE;
    }
    if (port != kDnsPort) {
        scan_datagram(data, length, port);
        return;
    }
    filter_record_site_answer(data, length);
    if (exchangeOver) filter_delete_socket(socket);
}
