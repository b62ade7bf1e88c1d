#include "filter_ports.h"

namespace {

using P = FilterProtocol;
using I = FilterInspection;

const FilterPortRule kRules[] = {
    {FILTER_PORT_FTP, FILTER_PORT_FTP, P::FileTransfer, true, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_TELNET, FILTER_PORT_TELNET, P::Telnet, true, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_SMTP, FILTER_PORT_SMTP, P::Mail, true, I::MailSubmission, FILTER_TRANSFER_OFF},
    {FILTER_PORT_DNS, FILTER_PORT_DNS, P::None, false, I::NameQueries, FILTER_TRANSFER_ON},
    {FILTER_PORT_HTTP, FILTER_PORT_HTTP, P::Web, true, I::Web, FILTER_TRANSFER_ON},
    {FILTER_PORT_POP3, FILTER_PORT_POP3, P::Mail, false, I::MailRetrieval, FILTER_TRANSFER_OFF},
    {FILTER_PORT_NNTP, FILTER_PORT_NNTP, P::News, true, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_IMAP, FILTER_PORT_IMAP, P::Mail, false, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_HTTPS, FILTER_PORT_HTTPS, P::Secure, true, I::Never, FILTER_TRANSFER_ON},
    {FILTER_PORT_IRC_FIRST, FILTER_PORT_IRC - 1, P::Chat, false, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_IRC, FILTER_PORT_IRC, P::Chat, true, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_IRC + 1, FILTER_PORT_IRC_LAST, P::Chat, false, I::Other, FILTER_TRANSFER_ON},
    {FILTER_PORT_IRC_ALTERNATE, FILTER_PORT_IRC_ALTERNATE, P::Chat, false, I::Other, FILTER_TRANSFER_ON},
};

const FilterPortRule kAnyOtherPort = {0, 0xFFFF, P::None, false, I::Other, FILTER_TRANSFER_ON};

}  // namespace

const FilterPortRule& filter_port_rule(WORD port) {
    for (const FilterPortRule& rule : kRules)
        if (port >= rule.first && port <= rule.last) return rule;
    return kAnyOtherPort;
}

FilterProtocol filter_rule_protocol(INT rulePort) {
    if (rulePort < 0 || rulePort > 0xFFFF) return FilterProtocol::None;
    const FilterPortRule& rule = filter_port_rule(static_cast<WORD>(rulePort));
    return rule.ruleSetsFlag && rule.first == rulePort ? rule.protocol : FilterProtocol::None;
}
