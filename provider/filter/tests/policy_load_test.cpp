// The one-time load of the policy: start-up lines, damaged stores, protocol rules, the first-load
// race, and plain data before any load.
#include <stdio.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "dns_messages.h"
#include "filter_harness.h"
#include "filter_policy.h"

namespace filter_test {
namespace {

const LogLine kRsacOff = {"", 0, "Filtering on RSACi ratings disabled."};
const LogLine kSafeSurfOff = {"", 0, "Filtering on SafeSurf ratings disabled."};
const LogLine kTimeOff = {"", 0, "Time management not active"};

TEST_F(FilterTest, FactorySettingsLogThreeStartupLines) {
    load();
    EXPECT_EQ(startupLog(), (std::vector<LogLine>{kRsacOff, kSafeSurfOff, kTimeOff}));
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(FilterTest, StoredSettingsAreLoggedInTheirOrder) {
    setRsac(1, /*s*/ 1, /*v*/ 2, /*l*/ 3, /*n*/ 4);
    setSafeSurf(1, {1, 2, 3, 4, 5, 6, 7, 8, 0, 1, 2});
    blockProtocols({6667, 80});
    AccessTimeTable times = {};
    times.enabled = 1;
    times.warningMinutes = 10;
    for (auto& day : times.slots)
        for (INT& slot : day) slot = 1;
    setAccessTimes(times);
    load();
    EXPECT_EQ(startupLog(),
              (std::vector<LogLine>{
                  {"", 0, "RSACi: S [1]  V [2]  N [4]  L [3]"},
                  {"", 0,
                   "SafeSurf: SS~~000 [1]  SS~~001 [2]  SS~~002 [3]  SS~~003 [4]  SS~~004 [5]  SS~~005 [6]  "
                   "SS~~006 [7]  SS~~007 [8]  SS~~008 [0]  SS~~009 [1]  SS~~00A [2]"},
                  // in the order of the stored rules, not of the ports given above
                  {"", 0, "Firewall Rule: BLOCK  -  World Wide Web (HTTP)"},
                  {"", 0, "Firewall Rule: BLOCK  -  Chat (IRC)"},
                  {"", 0, "Time management active - warning period set at 10 minutes"},
              }));
}

// A damaged store is regenerated: its warning comes first, then its summary of the factory
// settings; the other stores are unaffected.
TEST_F(FilterTest, DamagedStoresAreRegeneratedWithAWarning) {
    struct Case {
        const char* file;
        const char* warning;
    };
    const Case cases[] = {
        {"rsac.dat", "Your RSACi settings have been tampered with. The default factory settings will be used."},
        {"ssurf.dat", "Your SafeSurf settings have been tampered with. The default factory settings will be used."},
        {"fw.dat",
         "Your disallowed protocol settings have been tampered with. The default factory settings will be used."},
        {"period.dat", "Your time settings have been tampered with. The default factory settings will be used."},
    };
    // All four damaged at once: each warning comes right before its own store's line.
    for (const Case& c : cases)
        std::ofstream(root_.file(std::string("drive_c/Program Files/Quillfence/db/") + c.file),
                      std::ios::binary | std::ios::trunc)
            << "damaged";
    load();
    const std::vector<LogLine> expected = {
        {"WARNING", 0, cases[0].warning}, kRsacOff, {"WARNING", 0, cases[1].warning}, kSafeSurfOff,
        {"WARNING", 0, cases[2].warning}, {"WARNING", 0, cases[3].warning}, kTimeOff,
    };
    EXPECT_EQ(startupLog(), expected);
}

// Twenty blocked rules, the last of them for a port that no protocol flag knows.
ProtocolRuleTable twenty_blocked_rules() {
    ProtocolRuleTable rules = {};
    const int ports[PROTOCOL_RULE_CAPACITY] = {21, 23, 25, 80, 119, 443, 6667, 1, 2, 3,
                                               4,  5,  6,  7,  8,   9,   10,   11, 12, 22};
    rules.count = PROTOCOL_RULE_CAPACITY;
    for (int i = 0; i < PROTOCOL_RULE_CAPACITY; ++i) {
        rules.rules[i].port = ports[i];
        snprintf(rules.rules[i].name, PROTOCOL_NAME_SIZE, "Rule %d", ports[i]);
        rules.rules[i].blocked = 1;
    }
    return rules;
}

TEST_F(FilterTest, ProtocolRuleCountZeroReadsNoRule) {
    ProtocolRuleTable rules = twenty_blocked_rules();
    rules.count = 0;
    setProtocolRules(rules);
    load();
    EXPECT_EQ(startupLog(), (std::vector<LogLine>{kRsacOff, kSafeSurfOff, kTimeOff}));
    EXPECT_EQ(connect(1, "192.0.2.1", 80), 1);
    EXPECT_EQ(connect(2, "192.0.2.1", 21), 1);
}

TEST_F(FilterTest, TwentyProtocolRulesAreAllReadAndPort22BlocksNothing) {
    const ProtocolRuleTable rules = twenty_blocked_rules();
    setProtocolRules(rules);
    load();
    std::vector<LogLine> expected = {kRsacOff, kSafeSurfOff};
    for (const ProtocolRule& rule : rules.rules)
        expected.push_back({"", 0, std::string("Firewall Rule: BLOCK  -  ") + rule.name});
    expected.push_back(kTimeOff);
    EXPECT_EQ(startupLog(), expected);
    EXPECT_EQ(connect(1, "192.0.2.1", 22), 1);
    EXPECT_EQ(connect(2, "192.0.2.1", 80), 0);
}

// Hooks hit at once in a fresh process: one load, one set of start-up lines, and every hook sees
// the whole policy (connects to an address on the disallow list are all refused, also those that
// waited for the load).
TEST_F(FilterTest, ConcurrentFirstHooksLoadOnce) {
    addListEntry("192.0.2.66", BlockedSite);
    const std::string query = dns_query("www.example.org");
    const std::string answer = dns_answer("www.example.org", {"192.0.2.80"});
    const sockaddr_in web = ipv4("192.0.2.1", 80);
    const sockaddr_in dns = ipv4("192.0.2.53", 53);
    const sockaddr_in listed = ipv4("192.0.2.66", 80);
    const int kListedConnects = 4;
    std::atomic<int> listedAllowed{0};
    std::vector<std::function<void()>> hooks = {
        [&] { filter_check_connect(1, as_sockaddr(web)); },
        [&] { filter_check_time(); },
        [&] { filter_register_socket(2, as_sockaddr(web)); },
        [&] { filter_forget_socket(3); },
        [&] {
            std::string q = query;
            filter_inspect_sendto(4, &q[0], static_cast<DWORD>(q.size()), as_sockaddr(dns));
        },
        [&] {
            std::string a = answer;
            filter_inspect_recvfrom(5, &a[0], static_cast<DWORD>(a.size()), as_sockaddr(dns));
        },
        [&] {
            std::string q = query;
            filter_check_site_query(&q[0], static_cast<DWORD>(q.size()));
        },
        [&] { filter_record_site_answer(answer.data(), static_cast<DWORD>(answer.size())); },
    };
    for (int i = 0; i < kListedConnects; ++i)
        hooks.push_back([&, i] { listedAllowed += filter_check_connect(10 + i, as_sockaddr(listed)); });
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (const auto& hook : hooks)
        threads.emplace_back([&] {
            ++ready;
            while (!go.load()) std::this_thread::yield();
            hook();
        });
    while (ready.load() < static_cast<int>(hooks.size())) std::this_thread::yield();
    go = true;
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(listedAllowed.load(), 0);
    std::vector<LogLine> log = wholeLog();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(std::vector<LogLine>(log.begin(), log.begin() + 3),
              (std::vector<LogLine>{kRsacOff, kSafeSurfOff, kTimeOff}));
    // The rest are the refusals of the listed address, in whatever order the threads came.
    for (size_t i = 3; i < log.size(); ++i) {
        EXPECT_EQ(log[i].kind, "DENY") << log[i];
        EXPECT_EQ(log[i].text.rfind("192.0.2.66; ", 0), 0u) << log[i];
    }
    EXPECT_EQ(log.size(), 3u + kListedConnects);
}

TEST_F(FilterTest, PlainSendAndReceiveBeforeAnyLoadPassUnchanged) {
    addStandardLists();
    const std::string request = std::string("GET /") + kWord + " HTTP/1.0\r\nHost: " + kBadSite + "\r\n\r\n";
    const std::string page = std::string("<p>") + kWord + " " + kOtherWord + "</p>";
    EXPECT_EQ(send(1, request).verdict, 1);
    EXPECT_EQ(send(1, request).bytes, request);
    EXPECT_EQ(recv(1, page).verdict, 1);
    EXPECT_EQ(recv(1, page).bytes, page);
    EXPECT_FALSE(filter_policy_ready());
    EXPECT_TRUE(wholeLog().empty());
}

}  // namespace
}  // namespace filter_test
