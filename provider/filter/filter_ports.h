// The port rules of the filter in one table: which protocol a rule's port blocks, which protocol a
// connect's port falls under, whether and how a connection's data is inspected.
#pragma once

#include <windows.h>

// Well-known ports the filter knows by name.
enum FilterPort : WORD {
    FILTER_PORT_FTP = 21,
    FILTER_PORT_TELNET = 23,
    FILTER_PORT_SMTP = 25,
    FILTER_PORT_DNS = 53,
    FILTER_PORT_HTTP = 80,
    FILTER_PORT_POP3 = 110,
    FILTER_PORT_NNTP = 119,
    FILTER_PORT_IMAP = 143,
    FILTER_PORT_HTTPS = 443,
    FILTER_PORT_IRC_FIRST = 6660,
    FILTER_PORT_IRC = 6667,
    FILTER_PORT_IRC_LAST = 6670,
    FILTER_PORT_IRC_ALTERNATE = 7000,
};

// The three meanings of a socket record's transfer flag.
enum FilterTransfer : WORD {
    // Mail text is not being sent or retrieved: the data is not scanned (ports 25 and 110).
    FILTER_TRANSFER_OFF = 0,
    // The data is inspected (every other port; mail between "DATA" and its end, or after "RETR").
    FILTER_TRANSFER_ON = 1,
    // A port-53 record made by a datagram send: it lasts for one query and its answer.
    FILTER_TRANSFER_DNS_EXCHANGE = 2,
};

// The protocols that the protocol rules block, each with its block flag in the policy.
enum class FilterProtocol { None = -1, FileTransfer, Telnet, Mail, Web, News, Secure, Chat, Count };

// What the stream hooks do with a connection's data.
enum class FilterInspection {
    Web,             // web requests and content
    MailSubmission,  // mail text between "DATA" and its end mark
    NameQueries,     // DNS queries and answers
    MailRetrieval,   // mail text after "RETR"
    Never,           // secure connections: no socket record, never inspected
    Other,           // counted, never blocked
};

struct FilterPortRule {
    WORD first, last;            // the ports of the rule
    FilterProtocol protocol;     // the protocol a connect to these ports falls under
    bool ruleSetsFlag;           // a blocked protocol rule with the first port sets the protocol's flag
    FilterInspection inspection;
    WORD transferAtConnect;      // the transfer flag of the record a connect leaves
};

// The rule of a port; ports without one are inspected as Other, transfer flag on, under no protocol.
const FilterPortRule& filter_port_rule(WORD port);

// The protocol whose flag a blocked protocol rule for this port sets; None for any other port.
FilterProtocol filter_rule_protocol(INT rulePort);
