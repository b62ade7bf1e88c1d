// The runtime's resolver: names the machine does not know itself are asked of the name server
// stored in the registry, over the installed chain, and answered as the server says.
#include "dns_fixtures.h"
#include "winsock_name_server.h"
#include "winsock_test_support.h"

#include <wide_text.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace wstest;
using dns_fixtures::Bytes;

namespace {

void set_name_server(const char* text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, qf::kTcpipParametersKey, 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    if (text)
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, qf::kNameServerValue, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1)));
    else
        RegDeleteValueA(key, qf::kNameServerValue);
    RegCloseKey(key);
}

// The question's name, lower-cased.
std::string question_name(const Bytes& query) {
    std::string name;
    for (size_t at = 12; at < query.size() && query[at] != 0 && query[at] < 64; at += 1 + query[at]) {
        if (!name.empty()) name += '.';
        name.append(reinterpret_cast<const char*>(&query[at + 1]), std::min<size_t>(query[at], query.size() - at - 1));
    }
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The query turned into an answer: response flags with rcode, and A records for the question.
Bytes answer_to(const Bytes& query, unsigned char rcode, const std::vector<unsigned char>& lastBytes) {
    Bytes answer = query;
    answer[2] = 0x81;
    answer[3] = static_cast<unsigned char>(0x80 | rcode);
    answer[7] = static_cast<unsigned char>(lastBytes.size());
    for (unsigned char last : lastBytes) dns_fixtures::append_a_record(answer, 192, 0, 2, last);
    return answer;
}

// A name server on loopback that knows a few names:
//   www.example.test     192.0.2.7 and 192.0.2.8, after an answer to another query id
//   empty.example.test   no address
//   slow.example.test    192.0.2.9, answered only when asked a second time
//   silent.example.test  never answered
// Every other name does not exist.
class ResolverTest : public WinsockTest {
protected:
    void SetUp() override {
        WinsockTest::SetUp();
        if (HasFatalFailure()) return;
        server_ = udp_socket(address_);
        const DWORD pollMs = 50;
        setsockopt(server_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&pollMs), sizeof(pollMs));
        const std::string text = "127.0.0.1:" + std::to_string(ntohs(address_.sin_port));
        set_name_server(text.c_str());
        responder_ = std::thread([this] { respond(); });
    }
    void TearDown() override {
        stop_ = true;
        if (responder_.joinable()) responder_.join();
        if (server_ != INVALID_SOCKET) closesocket(server_);
        WinsockTest::TearDown();
    }

    int queries(const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        return asked_[name];
    }

    std::vector<std::string> addresses(const hostent* entry) {
        std::vector<std::string> out;
        for (char** a = entry->h_addr_list; *a; ++a) out.push_back(inet_ntoa(*reinterpret_cast<in_addr*>(*a)));
        return out;
    }

private:
    void respond() {
        while (!stop_) {
            char buffer[512];
            sockaddr_in from{};
            int fromLength = sizeof(from);
            int got = recvfrom(server_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got <= 12) continue;
            const Bytes query(buffer, buffer + got);
            const std::string name = question_name(query);
            int times;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                times = ++asked_[name];
            }
            std::vector<Bytes> replies;
            if (name == "www.example.test") {
                Bytes stray = answer_to(query, 0, {66});
                stray[1] ^= 0xff;
                replies = {stray, answer_to(query, 0, {7, 8})};
            } else if (name == "empty.example.test") {
                replies = {answer_to(query, 0, {})};
            } else if (name == "slow.example.test") {
                if (times > 1) replies = {answer_to(query, 0, {9})};
            } else if (name != "silent.example.test") {
                replies = {answer_to(query, 3, {})};
            }
            for (const Bytes& reply : replies)
                sendto(server_, reinterpret_cast<const char*>(reply.data()), static_cast<int>(reply.size()), 0,
                       reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    }

    SOCKET server_ = INVALID_SOCKET;
    sockaddr_in address_{};
    std::thread responder_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::map<std::string, int> asked_;
};

TEST_P(ResolverTest, NamesTheMachineDoesNotKnowAreAskedOfItsNameServer) {
    hostent* entry = gethostbyname("WWW.example.test");
    ASSERT_NE(nullptr, entry) << WSAGetLastError();
    EXPECT_STREQ("WWW.example.test", entry->h_name);
    EXPECT_EQ(addresses(entry), (std::vector<std::string>{"192.0.2.7", "192.0.2.8"}));

    ADDRINFOW hints{};
    hints.ai_socktype = SOCK_STREAM;
    PADDRINFOW result = nullptr;
    ASSERT_EQ(0, GetAddrInfoW(QF_WTEXT("www.example.test"), QF_WTEXT("80"), &hints, &result));
    ASSERT_NE(nullptr, result);
    const sockaddr_in* first = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    EXPECT_STREQ("192.0.2.7", inet_ntoa(first->sin_addr));
    EXPECT_EQ(80, ntohs(first->sin_port));
    FreeAddrInfoW(result);

    const struct {
        const char* name;
        int error;
    } failures[] = {{"nothing.example.test", WSAHOST_NOT_FOUND}, {"empty.example.test", WSANO_DATA}};
    for (const auto& f : failures) {
        EXPECT_EQ(nullptr, gethostbyname(f.name)) << f.name;
        EXPECT_EQ(f.error, WSAGetLastError()) << f.name;
        EXPECT_EQ(1, queries(f.name)) << f.name;
    }

    // What the machine knows itself is never asked.
    ASSERT_NE(nullptr, gethostbyname("localhost"));
    EXPECT_EQ(0, queries("localhost"));
}

TEST_P(ResolverTest, AQueryWithoutAnAnswerIsSentOnceMoreThenGivenUp) {
    hostent* entry = gethostbyname("slow.example.test");
    ASSERT_NE(nullptr, entry) << WSAGetLastError();
    EXPECT_EQ(addresses(entry), std::vector<std::string>{"192.0.2.9"});
    EXPECT_EQ(2, queries("slow.example.test"));

    EXPECT_EQ(nullptr, gethostbyname("silent.example.test"));
    EXPECT_EQ(WSATRY_AGAIN, WSAGetLastError());
    EXPECT_EQ(2, queries("silent.example.test"));
}

TEST_P(ResolverTest, WithoutAUsableNameServerUnknownNamesAreNotFound) {
    for (const char* server : {static_cast<const char*>(nullptr), "ns.example.test", "127.0.0.1:0"}) {
        set_name_server(server);
        EXPECT_EQ(nullptr, gethostbyname("nothing.example.test")) << (server ? server : "none");
        EXPECT_EQ(WSAHOST_NOT_FOUND, WSAGetLastError());
    }
    EXPECT_EQ(0, queries("nothing.example.test"));
}

INSTANTIATE_TEST_SUITE_P(Stacks, ResolverTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

}  // namespace
