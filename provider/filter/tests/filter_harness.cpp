#include "filter_harness.h"

#include <stdio.h>
#include <string.h>

#include <lexstore.h>
#include <vtfw.h>
#include <vtlogger.h>
#include <vtmessage.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include "filter_policy.h"
#include "filter_records.h"
#include "machine.h"

namespace filter_test {

const char kWord[] = "gorgonzola";
const char kOtherWord[] = "camembert";
const char kPhrase[] = "purple monkey dishwasher";
const char kBadSite[] = "badsite.example";
const char kGoodSite[] = "goodsite.example";
const char kSearchSite[] = "search.example";

const Alert kContentAlert = {"Quillfence Warning",
                             "A content violation has occured.\nQuillfence has blocked your access to this site."};
const Alert kSiteNameAlert = {
    "Quillfence Warning",
    "A violation has occured in the site name you requested.\nQuillfence has blocked your access to this site."};

const Alert kNotNowAlert = {
    "Quillfence Time Warning",
    "You are not allowed to use the network at this time.\nPlease try again during the time allocated to you."};
const Alert kAlmostUpAlert = {"Quillfence Time Warning",
                              "Your time is almost up.\nPlease complete what you are currently busy with."};

AccessTimeTable whole_week(int enabled, int allowed) {
    AccessTimeTable t = {};
    t.enabled = enabled;
    t.warningMinutes = 15;
    for (auto& day : t.slots)
        for (INT& slot : day) slot = allowed;
    return t;
}

std::ostream& operator<<(std::ostream& out, const LogLine& line) {
    return out << "{\"" << line.kind << "\", " << line.port << ", \"" << line.text << "\"}";
}

std::ostream& operator<<(std::ostream& out, const Alert& alert) {
    return out << "{\"" << alert.caption << "\", \"" << alert.text << "\"}";
}

std::ostream& operator<<(std::ostream& out, const Data& data) {
    return out << "{" << data.verdict << ", \"" << data.bytes << "\"}";
}

sockaddr_in ipv4(const char* dotted, u_short port) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
    sockaddr_in s = {};
    s.sin_family = AF_INET;
    s.sin_port = htons(port);
    s.sin_addr.s_addr = htonl(a << 24 | b << 16 | c << 8 | d);
    return s;
}

const sockaddr* as_sockaddr(const sockaddr_in& address) { return reinterpret_cast<const sockaddr*>(&address); }

namespace {

int last_log_id() {
    VTLogEntry entries[64];
    int last = 0;
    for (int n; (n = VTLogger_ReadEntries(last, entries, 64)) > 0;) last = entries[n - 1].id;
    return last;
}

int last_alert_id() {
    VTAlert alerts[16];
    int last = 0;
    for (int n; (n = VTMessage_ReadAlerts(last, alerts, 16)) > 0;) last = alerts[n - 1].id;
    return last;
}

}  // namespace

void FilterTest::SetUp() {
    ASSERT_FALSE(filter_policy_ready()) << "the policy is loaded once per process: run one case per process";
    std::string error;
    ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
}

void FilterTest::addListEntry(const char* key, int type) {
    ASSERT_EQ(lexs_openit(), 1);
    char value[LEXS_VALUE_SIZE] = {};
    ASSERT_EQ(lexs_insertdb(value, key, type, -1), 1) << key;
    lexs_closedbase();
}

void FilterTest::addStandardLists() {
    addListEntry(kWord, Word);
    addListEntry(kOtherWord, Word);
    addListEntry(kPhrase, Phrase);
    addListEntry(kBadSite, BlockedSite);
    addListEntry(kGoodSite, AllowedSite);
    addListEntry(kSearchSite, CleanedSearchSite);
}

void FilterTest::setRsac(int enabled, int s, int v, int l, int n) {
    RsacSettings r = {enabled, s, v, l, n};
    ASSERT_EQ(vtrsac_write(&r), 1);
}

void FilterTest::setSafeSurf(int enabled, std::initializer_list<int> levels) {
    SafeSurfSettings s = {};
    s.enabled = enabled;
    int i = 0;
    for (int level : levels) s.levels[i++] = level;
    ASSERT_EQ(vtssurf_write(&s), 1);
}

void FilterTest::blockProtocols(std::initializer_list<int> ports) {
    ProtocolRuleTable t = {};
    ASSERT_EQ(vtfw_regen(&t), 1);
    for (int port : ports)
        for (int i = 0; i < t.count; ++i)
            if (t.rules[i].port == port) t.rules[i].blocked = 1;
    ASSERT_EQ(vtfw_write(&t), 1);
}

void FilterTest::setProtocolRules(const ProtocolRuleTable& table) {
    ProtocolRuleTable copy = table;
    ASSERT_EQ(vtfw_write(&copy), 1);
}

void FilterTest::setAccessTimes(const AccessTimeTable& table) {
    AccessTimeTable copy = table;
    ASSERT_EQ(vtperiod_write(&copy), 1);
}

void FilterTest::load() {
    loadMark_ = last_log_id();
    filter_load_policy();
    logMark_ = last_log_id();
    alertMark_ = last_alert_id();
}

int FilterTest::connect(SOCKET s, const char* dotted, u_short port) {
    sockaddr_in target = ipv4(dotted, port);
    return filter_check_connect(s, as_sockaddr(target)) && filter_check_time() &&
           filter_register_socket(s, as_sockaddr(target));
}

// The data travels in a buffer of exactly its length, so a read past it is caught by ASan.
Data FilterTest::send(SOCKET s, const std::string& bytes) {
    std::vector<char> buffer(bytes.begin(), bytes.end());
    int verdict = filter_inspect_send(s, buffer.data(), static_cast<DWORD>(buffer.size()));
    return {verdict, std::string(buffer.begin(), buffer.end())};
}

Data FilterTest::recv(SOCKET s, const std::string& bytes) {
    std::vector<char> buffer(bytes.begin(), bytes.end());
    int verdict = filter_inspect_recv(s, buffer.data(), static_cast<DWORD>(buffer.size()));
    return {verdict, std::string(buffer.begin(), buffer.end())};
}

std::string FilterTest::sendto(SOCKET s, const std::string& bytes, const char* dotted, u_short port) {
    std::vector<char> buffer(bytes.begin(), bytes.end());
    sockaddr_in destination = ipv4(dotted, port);
    filter_inspect_sendto(s, buffer.data(), static_cast<DWORD>(buffer.size()), as_sockaddr(destination));
    return std::string(buffer.begin(), buffer.end());
}

std::string FilterTest::recvfrom(SOCKET s, const std::string& bytes) {
    std::vector<char> buffer(bytes.begin(), bytes.end());
    sockaddr_in source = ipv4("192.0.2.53", 53);
    filter_inspect_recvfrom(s, buffer.data(), static_cast<DWORD>(buffer.size()), as_sockaddr(source));
    return std::string(buffer.begin(), buffer.end());
}

namespace {

std::vector<LogLine> log_after(int mark) {
    std::vector<LogLine> lines;
    VTLogEntry entries[64];
    for (;;) {
        int n = VTLogger_ReadEntries(mark, entries, 64);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) lines.push_back({entries[i].kind, entries[i].port, entries[i].text});
        mark = entries[n - 1].id;
    }
    return lines;
}

}  // namespace

std::vector<LogLine> FilterTest::startupLog() {
    std::vector<LogLine> lines = log_after(loadMark_);
    lines.resize(lines.size() - newLog().size());
    return lines;
}

std::vector<LogLine> FilterTest::newLog() { return log_after(logMark_); }

std::vector<LogLine> FilterTest::wholeLog() { return log_after(0); }

std::vector<Alert> FilterTest::newAlerts() {
    std::vector<Alert> result;
    VTAlert alerts[16];
    for (int mark = alertMark_;;) {
        int n = VTMessage_ReadAlerts(mark, alerts, 16);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) result.push_back({alerts[i].caption, alerts[i].text});
        mark = alerts[n - 1].id;
    }
    return result;
}

SocketRecord* FilterTest::socketRecord(SOCKET s) {
    FilterRecords& r = filter_records();
    SocketRecord* record = nullptr;
    return sockrec_retrieve(r.sockets, r.socketCount, s, &record) == 1 ? record : nullptr;
}

AddressRecord* FilterTest::addressRecord(const char* dotted) {
    FilterRecords& p = filter_records();
    AddressRecord* record = nullptr;
    DWORD address = ipv4(dotted, 0).sin_addr.s_addr;
    return addrrec_retrieve(p.addresses, p.addressCount, address, &record) == 1 ? record : nullptr;
}

std::string FilterTest::topicWord() {
    const FilterPolicy& p = filter_policy();
    for (int i = 0; i < p.topicCount; ++i) {
        std::string word = p.topics[i];
        if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos) return word;
    }
    return "";
}

}  // namespace filter_test
