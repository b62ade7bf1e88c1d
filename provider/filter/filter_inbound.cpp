// Inbound stream data: web content is cleaned for cleaning sites, else judged by its rating
// labels and its words; mail being retrieved and other protocols are counted; DNS answers on
// connected sockets are recorded.
#include "filter.h"
#include "filter_policy.h"
#include "filter_ports.h"
#include "filter_records.h"
#include "filter_report.h"
#include "filter_scan.h"

#include <termclean.h>
#include <vtpicsrsac.h>
#include <vtpicsssurf.h>

namespace {

const WORD kWebPort = FILTER_PORT_HTTP;

enum class Reason { None, Rsac, SafeSurf, Content };

Reason judge_content(const FilterPolicy& p, SocketRecord* record, const char* data, DWORD length,
                     DWORD* violations) {
    const RsacSettings& r = p.rsac;
    if (r.enabled != 0 &&
        vtpics_rsac_validate(data, length, r.sexLevel, r.violenceLevel, r.nudityLevel, r.languageLevel) ==
            PICS_RATED_ABOVE)
        return Reason::Rsac;
    const INT* l = p.safeSurf.levels;
    if (p.safeSurf.enabled != 0 &&
        vtpics_safesurf_validate(data, length, l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], l[8], l[9], l[10]) ==
            PICS_RATED_ABOVE)
        return Reason::SafeSurf;
    *violations = filter_scan_socket(record, data, length, kWebPort, 1);
    return *violations == 0 ? Reason::None : Reason::Content;
}

int inspect_web_content(const FilterPolicy& p, SocketRecord* record, char* data, DWORD length) {
    const HeldAddress address(record->address);
    if (!address) return 1;

    // Content from a cleaning site is cleaned, never judged.
    if (address->cleaningFlag == ADDRESS_CLEAN_ALWAYS) {
        WORD* s = record->cleanState;
        termclean_process(data, length, p.topics, p.topicCount, p.words, p.wordCount, kWebPort, &s[0], &s[1], &s[2],
                          &s[3], &s[4]);
        return 1;
    }
    if (filter_is_blocked(record)) {
        filter_blank(data, length);
        return 0;
    }
    DWORD violations = 0;
    const Reason reason = judge_content(p, record, data, length, &violations);
    if (reason == Reason::None) return 1;

    filter_block_socket(record, data, length);
    char addressText[FILTER_ADDRESS_TEXT_SIZE];
    filter_address_text(record->address, addressText);
    switch (reason) {
    case Reason::Rsac:
        filter_log_site(FILTER_KIND_BLOCK, kWebPort, address->hostName, addressText, "Due to RSACi rating.");
        filter_alert(FILTER_CAPTION,
                     "RSACi rating indicates undesirable content.\nQuillfence has blocked your access to this site.");
        break;
    case Reason::SafeSurf:
        filter_log_site(FILTER_KIND_BLOCK, kWebPort, address->hostName, addressText, "Due to SafeSurf rating.");
        filter_alert(FILTER_CAPTION,
                     "SafeSurf rating indicates undesirable content.\nQuillfence has blocked your access to this site.");
        break;
    default:
        filter_log_violations(kWebPort, address->hostName, addressText, violations);
        filter_alert(FILTER_CAPTION, FILTER_ALERT_CONTENT);
        break;
    }
    return 0;
}

}  // namespace

int filter_inspect_recv(SOCKET socket, char* data, DWORD length) {
    if (!filter_policy_ready() || !data || length == 0) return 1;
    const FilterPolicy& p = filter_policy();
    const HeldSocket record(socket);
    if (!record) return 1;

    const WORD port = filter_port(record.get());
    switch (filter_port_rule(port).inspection) {
    case FilterInspection::Web:
        return inspect_web_content(p, record.get(), data, length);
    case FilterInspection::MailSubmission:
        return 1;
    case FilterInspection::NameQueries:
        filter_record_site_answer(data, length);
        return 1;
    case FilterInspection::MailRetrieval:
        if (filter_transfer(record.get()) == FILTER_TRANSFER_ON) filter_scan_socket(record.get(), data, length, port, 0);
        return 1;
    default:
        filter_scan_socket(record.get(), data, length, port, 0);
        return 1;
    }
}
