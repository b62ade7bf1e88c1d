// The hosts file reader and the services table.
#include "name_tables.h"

#include <winsock2.h>

#include <algorithm>
#include <cstring>

namespace qf::ws2 {
namespace {

// Windows' own services file, the entries programs ask for.
const ServiceRecord kServices[] = {
    {"echo", nullptr, 7, "tcp"},          {"echo", nullptr, 7, "udp"},
    {"discard", "sink", 9, "tcp"},        {"discard", "sink", 9, "udp"},
    {"daytime", nullptr, 13, "tcp"},      {"daytime", nullptr, 13, "udp"},
    {"ftp-data", nullptr, 20, "tcp"},     {"ftp", nullptr, 21, "tcp"},
    {"ssh", nullptr, 22, "tcp"},          {"telnet", nullptr, 23, "tcp"},
    {"smtp", "mail", 25, "tcp"},          {"time", "timserver", 37, "tcp"},
    {"time", "timserver", 37, "udp"},     {"nameserver", "name", 42, "udp"},
    {"nicname", "whois", 43, "tcp"},      {"domain", nullptr, 53, "tcp"},
    {"domain", nullptr, 53, "udp"},       {"bootps", "dhcps", 67, "udp"},
    {"bootpc", "dhcpc", 68, "udp"},       {"tftp", nullptr, 69, "udp"},
    {"gopher", nullptr, 70, "tcp"},       {"finger", nullptr, 79, "tcp"},
    {"http", "www", 80, "tcp"},           {"kerberos", "krb5", 88, "tcp"},
    {"kerberos", "krb5", 88, "udp"},      {"pop3", nullptr, 110, "tcp"},
    {"sunrpc", "rpcbind", 111, "tcp"},    {"sunrpc", "rpcbind", 111, "udp"},
    {"auth", "ident", 113, "tcp"},        {"nntp", "usenet", 119, "tcp"},
    {"ntp", nullptr, 123, "udp"},         {"epmap", "loc-srv", 135, "tcp"},
    {"netbios-ns", "nbname", 137, "udp"}, {"netbios-dgm", "nbdatagram", 138, "udp"},
    {"netbios-ssn", "nbsession", 139, "tcp"}, {"imap", "imap4", 143, "tcp"},
    {"snmp", nullptr, 161, "udp"},        {"snmptrap", "snmp-trap", 162, "udp"},
    {"irc", nullptr, 194, "tcp"},         {"ldap", nullptr, 389, "tcp"},
    {"https", "MCom", 443, "tcp"},        {"microsoft-ds", nullptr, 445, "tcp"},
    {"kpasswd", nullptr, 464, "tcp"},     {"kpasswd", nullptr, 464, "udp"},
    {"isakmp", "ike", 500, "udp"},        {"syslog", nullptr, 514, "udp"},
    {"printer", "spooler", 515, "tcp"},   {"submission", nullptr, 587, "tcp"},
    {"ldaps", "sldap", 636, "tcp"},       {"ftps-data", nullptr, 989, "tcp"},
    {"ftps", nullptr, 990, "tcp"},        {"telnets", nullptr, 992, "tcp"},
    {"imaps", nullptr, 993, "tcp"},       {"ircs", nullptr, 994, "tcp"},
    {"pop3s", "spop3", 995, "tcp"},       {"socks", nullptr, 1080, "tcp"},
    {"ms-sql-s", nullptr, 1433, "tcp"},   {"pptp", nullptr, 1723, "tcp"},
    {"ms-wbt-server", nullptr, 3389, "tcp"}, {"http-alt", nullptr, 8080, "tcp"},
};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Reads the fields of one line, up to '#'.
std::vector<std::string> fields_of(const char* line, size_t length) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < length && line[i] != '#') {
        if (blank(line[i]) || line[i] == '\0') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < length && !blank(line[i]) && line[i] != '#' && line[i] != '\0') ++i;
        fields.emplace_back(line + start, i - start);
    }
    return fields;
}

}  // namespace

bool names_equal(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (lower(*a) != lower(*b)) return false;
    return *a == *b;
}

bool names_hosts_lookup(const char* data, size_t length, const char* name, HostRecord& record) {
    bool found = false;
    size_t at = 0;
    while (at < length) {
        const void* newline = std::memchr(data + at, '\n', length - at);
        size_t end = newline ? static_cast<size_t>(static_cast<const char*>(newline) - data) : length;
        std::vector<std::string> fields = fields_of(data + at, end - at);
        at = end + 1;
        if (fields.size() < 2) continue;
        u_long address = inet_addr(fields[0].c_str());
        bool dotted = std::count(fields[0].begin(), fields[0].end(), '.') == 3;  // a.b.c.d only
        if (address == INADDR_NONE || !dotted) continue;                            // IPv6 lines and others
        bool names = false;
        for (size_t i = 1; i < fields.size() && !names; ++i) names = names_equal(fields[i].c_str(), name);
        if (!names) continue;
        if (!found) {
            record = HostRecord{};
            record.name = fields[1];
            for (size_t i = 2; i < fields.size() && record.aliases.size() < kMaxHostAliases; ++i)
                record.aliases.push_back(fields[i]);
            found = true;
        }
        if (record.addresses.size() < kMaxHostAddresses) record.addresses.push_back(address);
    }
    return found;
}

const ServiceRecord* names_find_service(const char* name, const char* protocol) {
    for (const ServiceRecord& service : kServices) {
        if (protocol && !names_equal(service.protocol, protocol)) continue;
        if (names_equal(service.name, name) || (service.alias && names_equal(service.alias, name))) return &service;
    }
    return nullptr;
}

}  // namespace qf::ws2
