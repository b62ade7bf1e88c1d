// The connection gate: protocol blocking, the address lists and the access times, and the socket
// record that selects the later inspection of a connection.
#include "filter.h"
#include "filter_policy.h"
#include "filter_ports.h"
#include "filter_records.h"
#include "filter_report.h"
#include "filter_scan.h"
#include "filter_target.h"

namespace {

struct ProtocolBlock {
    const char* line;   // %s: the address text
    const char* alert;
};

// The log line and alert of a refused connect, by FilterProtocol.
const ProtocolBlock kProtocolBlocks[static_cast<int>(FilterProtocol::Count)] = {
    {"File tranfer (FTP) connection to %s.", "Quillfence is configured to block file transfer (FTP)."},
    {"Telnet connection to %s.", "Quillfence is configured to block Telnet."},
    {"Electronic mail connection to %s.", "Quillfence is configured to block electronic mail (e-mail)."},
    {"World Wide Web (HTTP) connection to %s.", "Quillfence is configured to block World Wide Web (HTTP)."},
    {"News (NNTP) connection to %s.", "Quillfence is configured to block news (NNTP)."},
    {"Secure Socket Layer (SSL) connection to %s.", "Quillfence is configured to block SSL (online shopping)."},
    {"Chat (IRC) connection to %s.", "Quillfence is configured to block chat (IRC)."},
};

// 0 when the port falls under a blocked protocol (logged and alerted), else 1.
int check_protocol(const FilterPolicy& p, const FilterTarget& target) {
    const FilterProtocol protocol = filter_port_rule(target.port).protocol;
    if (!p.blocks(protocol)) return 1;
    const ProtocolBlock& block = kProtocolBlocks[static_cast<int>(protocol)];
    char text[FILTER_ADDRESS_TEXT_SIZE];
    filter_target_text(target, text);
    filter_log(FILTER_KIND_DENY, target.port, block.line, text);
    filter_alert(FILTER_CAPTION, block.alert);
    return 0;
}

// An address seen before: its status decides.
int check_known_address(const FilterTarget& target, const AddressRecord& address) {
    if (address.status != ADDRESS_STATUS_DISALLOWED && address.status != ADDRESS_STATUS_UNCHANGED) return 1;
    char text[FILTER_ADDRESS_TEXT_SIZE];
    filter_target_text(target, text);
    if (address.status == ADDRESS_STATUS_DISALLOWED) {
        filter_log_site(FILTER_KIND_DENY, target.port, address.hostName, text,
                        "disallowed content encountered previously.");
        return 0;
    }
    filter_log_site(FILTER_KIND_ALLOW, target.port, address.hostName, text, "allow list.");
    return 1;
}

// A new address: the first site list that holds its text decides, and the address gets its
// record.
int check_new_address(const FilterPolicy& p, const FilterTarget& target) {
    const struct {
        const TermSlot* table;
        INT count;
        WORD status;
        WORD cleaning;
        const char* kind;
        const char* line;
        int verdict;
    } lists[] = {
        {p.unchangedSites, p.unchangedSiteCount, ADDRESS_STATUS_UNCHANGED, ADDRESS_CLEAN_NO, FILTER_KIND_ALLOW,
         "%s; allow list - leave unchanged.", 1},
        {p.cleaningSites, p.cleaningSiteCount, ADDRESS_STATUS_INSPECT, ADDRESS_CLEAN_ALWAYS, FILTER_KIND_ALLOW,
         "%s; allow list - always apply cleaning.", 1},
        {p.disallowedSites, p.disallowedSiteCount, ADDRESS_STATUS_DISALLOWED, ADDRESS_CLEAN_NO, FILTER_KIND_DENY,
         "%s; disallow list.", 0},
    };
    char text[FILTER_ADDRESS_TEXT_SIZE];
    filter_target_text(target, text);
    for (const auto& list : lists) {
        if (!filter_name_in(text, list.table, list.count)) continue;
        filter_add_address(target.address, list.status, "", list.cleaning);
        filter_log(list.kind, target.port, list.line, text);
        return list.verdict;
    }
    filter_add_address(target.address, ADDRESS_STATUS_INSPECT, "", ADDRESS_CLEAN_NO);
    return 1;
}

}  // namespace

int filter_check_connect(SOCKET socket, const struct sockaddr* target) {
    (void)socket;
    filter_load_policy();
    const FilterPolicy& p = filter_policy();
    const FilterTarget t = filter_read_target(target);
    if (!check_protocol(p, t)) return 0;
    // Only IPv4 addresses are kept in the address table.
    if (!t.ipv4()) return 1;
    {
        const HeldAddress address(t.address);
        if (address) return check_known_address(t, *address);
    }
    return check_new_address(p, t);
}

int filter_check_time(void) {
    filter_load_policy();
    const FilterPolicy& p = filter_policy();
    std::atomic<int>& warningShown = filter_records().timeWarningShown;
    if (p.accessTimes.enabled == 0) return 1;
    switch (vtperiod_validate_currenttime(&p.accessTimes)) {
    case 0:
        warningShown.store(0);
        filter_log(FILTER_KIND_DENY, 0, "Blocked access as per time management configuration.");
        filter_alert(FILTER_TIME_CAPTION,
                     "You are not allowed to use the network at this time.\nPlease try again during the time "
                     "allocated to you.");
        return 0;
    case 1:
        warningShown.store(0);
        return 1;
    case 2:
        // Once until the allowance next reports 0 or 1, however many threads connect at once.
        if (warningShown.exchange(1) == 0)
            filter_alert(FILTER_TIME_CAPTION,
                         "Your time is almost up.\nPlease complete what you are currently busy with.");
        return 1;
    default:
        return 1;
    }
}

int filter_register_socket(SOCKET socket, const struct sockaddr* target) {
    filter_load_policy();
    const FilterTarget t = filter_read_target(target);
    // A reconnect replaces whatever the socket was inspected as before, also when the new target
    // is not inspected at all.
    filter_delete_socket(socket);
    if (!t.ipv4()) return 1;
    {
        const HeldAddress address(t.address);
        if (address && address->status == ADDRESS_STATUS_UNCHANGED) return 1;
    }
    const FilterPortRule& rule = filter_port_rule(t.port);
    if (rule.inspection == FilterInspection::Never) return 1;
    filter_add_socket(socket, t.port, t.address, rule.transferAtConnect);
    return 1;
}

void filter_forget_socket(SOCKET socket) {
    filter_load_policy();
    filter_delete_socket(socket);
}
