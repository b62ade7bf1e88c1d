// Drives the filter hooks the way the provider's entry points do, against the real components in
// a temporary machine root, and reads back the access log and the alert spool.
//
// The policy is loaded once per process, so every test case needs a process of its own (ctest
// runs each case on its own; by hand, use --gtest_filter for one case).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include <filter.h>
#include <addrrec.h>
#include <lexstore.h>
#include <sockrec.h>
#include <vtfw.h>
#include <vtperiod.h>

#include "temp_machine_root.h"

namespace filter_test {

struct LogLine {
    std::string kind;
    int port;
    std::string text;
    bool operator==(const LogLine& o) const { return kind == o.kind && port == o.port && text == o.text; }
};
std::ostream& operator<<(std::ostream& out, const LogLine& line);

struct Alert {
    std::string caption;
    std::string text;
    bool operator==(const Alert& o) const { return caption == o.caption && text == o.text; }
};
std::ostream& operator<<(std::ostream& out, const Alert& alert);

// The outcome of a stream send or receive: the verdict and the bytes as the filter left them.
struct Data {
    int verdict;
    std::string bytes;
    bool operator==(const Data& o) const { return verdict == o.verdict && bytes == o.bytes; }
};
std::ostream& operator<<(std::ostream& out, const Data& data);

// The user's lists used throughout the tests.
extern const char kWord[];           // a disallowed word
extern const char kOtherWord[];      // another disallowed word
extern const char kPhrase[];         // a disallowed phrase
extern const char kBadSite[];        // on the disallow list
extern const char kGoodSite[];       // allowed unchanged
extern const char kSearchSite[];     // allowed with cleaning

sockaddr_in ipv4(const char* dotted, u_short port);
const sockaddr* as_sockaddr(const sockaddr_in& address);

class FilterTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Settings, written before the policy is loaded.
    void addListEntry(const char* key, int type);
    void addStandardLists();  // the k* entries above
    void setRsac(int enabled, int s, int v, int l, int n);
    void setSafeSurf(int enabled, std::initializer_list<int> levels);
    void blockProtocols(std::initializer_list<int> ports);  // marks the factory rules with these ports
    void setProtocolRules(const ProtocolRuleTable& table);
    void setAccessTimes(const AccessTimeTable& table);

    // Loads the policy and sets the read-back marks after the start-up lines.
    void load();

    // The hooks as the entry points call them.
    int connect(SOCKET s, const char* dotted, u_short port);  // the three gate checks in order
    Data send(SOCKET s, const std::string& bytes);
    Data recv(SOCKET s, const std::string& bytes);
    std::string sendto(SOCKET s, const std::string& bytes, const char* dotted, u_short port);
    std::string recvfrom(SOCKET s, const std::string& bytes);
    void close(SOCKET s) { filter_forget_socket(s); }

    // The lines the load wrote.
    std::vector<LogLine> startupLog();
    // What happened since load() (or since the start when nothing was loaded).
    std::vector<LogLine> newLog();
    std::vector<Alert> newAlerts();
    static std::vector<LogLine> wholeLog();

    // The filter's own records (null when there is none).
    static SocketRecord* socketRecord(SOCKET s);
    static AddressRecord* addressRecord(const char* dotted);

    // A plain word of the selected filter topics.
    static std::string topicWord();

    qf_test::TempMachineRoot root_;

private:
    int loadMark_ = 0;
    int logMark_ = 0;
    int alertMark_ = 0;
};

// Alerts of the gate and the inspections.
extern const Alert kContentAlert;
extern const Alert kSiteNameAlert;
extern const Alert kNotNowAlert;    // outside the allowed times
extern const Alert kAlmostUpAlert;  // within the warning period before they end

// Every slot of the week set to one value (warning period 15 minutes).
AccessTimeTable whole_week(int enabled, int allowed);

}  // namespace filter_test
