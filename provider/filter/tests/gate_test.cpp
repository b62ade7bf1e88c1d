// The connection gate: protocol blocking, the address lists, the access times and the socket
// records it leaves behind.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include <vtperiod.h>

#include "filter_harness.h"

namespace filter_test {
namespace {

struct ProtocolCase {
    u_short port;
    const char* line;  // empty: allowed without a line
    const char* alert;
};

const ProtocolCase kProtocolCases[] = {
    {21, "File tranfer (FTP) connection to 192.0.2.7.", "Quillfence is configured to block file transfer (FTP)."},
    {23, "Telnet connection to 192.0.2.7.", "Quillfence is configured to block Telnet."},
    {25, "Electronic mail connection to 192.0.2.7.", "Quillfence is configured to block electronic mail (e-mail)."},
    {110, "Electronic mail connection to 192.0.2.7.", "Quillfence is configured to block electronic mail (e-mail)."},
    {143, "Electronic mail connection to 192.0.2.7.", "Quillfence is configured to block electronic mail (e-mail)."},
    {80, "World Wide Web (HTTP) connection to 192.0.2.7.", "Quillfence is configured to block World Wide Web (HTTP)."},
    {119, "News (NNTP) connection to 192.0.2.7.", "Quillfence is configured to block news (NNTP)."},
    {443, "Secure Socket Layer (SSL) connection to 192.0.2.7.",
     "Quillfence is configured to block SSL (online shopping)."},
    {6660, "Chat (IRC) connection to 192.0.2.7.", "Quillfence is configured to block chat (IRC)."},
    {6667, "Chat (IRC) connection to 192.0.2.7.", "Quillfence is configured to block chat (IRC)."},
    {6670, "Chat (IRC) connection to 192.0.2.7.", "Quillfence is configured to block chat (IRC)."},
    {7000, "Chat (IRC) connection to 192.0.2.7.", "Quillfence is configured to block chat (IRC)."},
    {6659, "", ""},
    {6671, "", ""},
    {22, "", ""},
    {8080, "", ""},
};

TEST_F(FilterTest, BlockedProtocolsRefuseTheirPortsWithOneLineAndAnAlert) {
    blockProtocols({21, 23, 25, 80, 119, 443, 6667});
    load();
    SOCKET s = 10;
    for (const ProtocolCase& c : kProtocolCases) {
        SCOPED_TRACE(c.port);
        const bool refused = c.line[0] != 0;
        EXPECT_EQ(connect(++s, "192.0.2.7", c.port), refused ? 0 : 1);
        const std::vector<LogLine> line = {{"DENY", c.port, c.line}};
        const std::vector<Alert> alert = {{"Quillfence Warning", c.alert}};
        EXPECT_EQ(newLog(), refused ? line : std::vector<LogLine>{});
        EXPECT_EQ(newAlerts(), refused ? alert : std::vector<Alert>{});
        load();  // moves the read-back marks on
    }
}

TEST_F(FilterTest, UnblockedProtocolsPass) {
    load();
    SOCKET s = 10;
    for (const ProtocolCase& c : kProtocolCases) EXPECT_EQ(connect(++s, "192.0.2.7", c.port), 1) << c.port;
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(FilterTest, AnIPv6TargetIsBlockedByItsPortAndOtherwiseAllowedWithoutARecord) {
    blockProtocols({80});
    load();
    // A sockaddr_in6 for [2001:db8::1]:80: family, port, flow info, address, scope.
    unsigned char target[28] = {};
    const u_short family = AF_INET6;
    memcpy(target, &family, sizeof family);
    target[3] = 80;
    const unsigned char address[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    memcpy(target + 8, address, sizeof address);
    const sockaddr* t = reinterpret_cast<const sockaddr*>(target);
    EXPECT_EQ(filter_check_connect(1, t), 0);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"DENY", 80, "World Wide Web (HTTP) connection to 2001:db8::1."}}));

    target[3] = 81;
    EXPECT_EQ(filter_check_connect(2, t), 1);
    EXPECT_EQ(filter_register_socket(2, t), 1);
    EXPECT_EQ(socketRecord(2), nullptr);
}

TEST_F(FilterTest, AddressListsDecideNewAddressesAndTheRecordsDecideLaterConnects) {
    addListEntry("192.0.2.1", AllowedSite);
    addListEntry("192.0.2.2", CleanedSearchSite);
    addListEntry("192.0.2.3", BlockedSite);
    load();
    struct Case {
        const char* address;
        int firstVerdict;
        std::vector<LogLine> first;
        WORD status;    // of the address record the first connect leaves
        WORD cleaning;
        int laterVerdict;
        std::vector<LogLine> later;
    };
    const Case cases[] = {
        {"192.0.2.1", 1, {{"ALLOW", 80, "192.0.2.1; allow list - leave unchanged."}}, 1, 2, 1,
         {{"ALLOW", 80, "192.0.2.1; allow list."}}},
        {"192.0.2.2", 1, {{"ALLOW", 80, "192.0.2.2; allow list - always apply cleaning."}}, 2, 1, 1, {}},
        {"192.0.2.3", 0, {{"DENY", 80, "192.0.2.3; disallow list."}}, 0, 2, 0,
         {{"DENY", 80, "192.0.2.3; disallowed content encountered previously."}}},
        {"192.0.2.4", 1, {}, 2, 2, 1, {}},
    };
    SOCKET s = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(connect(++s, c.address, 80), c.firstVerdict);
        EXPECT_EQ(newLog(), c.first);
        const AddressRecord* a = addressRecord(c.address);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->status, c.status);
        EXPECT_EQ(a->cleaningFlag, c.cleaning);
        EXPECT_STREQ(a->hostName, "");
        load();
        EXPECT_EQ(connect(++s, c.address, 80), c.laterVerdict);
        EXPECT_EQ(newLog(), c.later);
        load();
    }
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(FilterTest, OutsideTheAllowedTimesConnectsAreRefused) {
    setAccessTimes(whole_week(1, 0));
    load();
    EXPECT_EQ(connect(1, "192.0.2.1", 80), 0);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"DENY", 0, "Blocked access as per time management configuration."}}));
    EXPECT_EQ(newAlerts(), std::vector<Alert>{kNotNowAlert});
}

TEST_F(FilterTest, InactiveTimeManagementIsNotConsulted) {
    setAccessTimes(whole_week(0, 0));
    load();
    EXPECT_EQ(filter_check_time(), 1);
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(FilterTest, AllowedTimesPassWithoutALine) {
    setAccessTimes(whole_week(1, 1));
    load();
    EXPECT_EQ(connect(1, "192.0.2.1", 80), 1);
    EXPECT_TRUE(newLog().empty());
    EXPECT_TRUE(newAlerts().empty());
}

TEST_F(FilterTest, ARefusedProtocolDoesNotConsultTheTimes) {
    blockProtocols({80});
    setAccessTimes(whole_week(1, 0));
    load();
    EXPECT_EQ(connect(1, "192.0.2.1", 80), 0);
    EXPECT_EQ(newLog(), (std::vector<LogLine>{{"DENY", 80, "World Wide Web (HTTP) connection to 192.0.2.1."}}));
    EXPECT_EQ(newAlerts().size(), 1u);
}

TEST_F(FilterTest, RegisteredSocketsGetARecordByPort) {
    load();
    struct Case {
        u_short port;
        bool record;
        WORD transfer;
    };
    const Case cases[] = {{25, true, 0}, {53, true, 1},  {80, true, 1},    {110, true, 0},
                          {119, true, 1}, {443, false, 0}, {8080, true, 1}, {6667, true, 1}};
    SOCKET s = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        ASSERT_EQ(connect(++s, "192.0.2.9", c.port), 1);
        SocketRecord* r = socketRecord(s);
        ASSERT_EQ(r != nullptr, c.record);
        if (!r) continue;
        EXPECT_EQ(r->port, c.port);
        EXPECT_EQ(r->address, ipv4("192.0.2.9", 0).sin_addr.s_addr);
        EXPECT_EQ(r->transferFlag, c.transfer);
        EXPECT_EQ(r->blockedFlag, 0);
        EXPECT_EQ(r->violationCount, 0u);
        close(s);
        EXPECT_EQ(socketRecord(s), nullptr);
    }
    close(12345);  // a socket without a record
}

TEST_F(FilterTest, AReconnectReplacesTheSocketRecord) {
    addListEntry("192.0.2.1", AllowedSite);
    load();
    ASSERT_EQ(connect(1, "192.0.2.9", 80), 1);
    ASSERT_EQ(connect(1, "192.0.2.10", 25), 1);
    ASSERT_NE(socketRecord(1), nullptr);
    EXPECT_EQ(socketRecord(1)->port, 25);
    EXPECT_EQ(socketRecord(1)->address, ipv4("192.0.2.10", 0).sin_addr.s_addr);
    EXPECT_EQ(socketRecord(1)->transferFlag, 0);

    // A reconnect to an address allowed unchanged leaves no record of the earlier connection.
    ASSERT_EQ(connect(1, "192.0.2.1", 80), 1);
    EXPECT_EQ(socketRecord(1), nullptr);
}

}  // namespace
}  // namespace filter_test
