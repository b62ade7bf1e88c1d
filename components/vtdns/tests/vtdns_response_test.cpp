#include "dns_fixtures.h"
#include "vtdns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dns_fixtures;

namespace {

struct Answer {
    int result = -1;
    std::string name;
    std::vector<std::string> addresses;
};

std::string dotted(DWORD address) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);   // network order
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

Answer read_answer(const Bytes& message) {
    Exact buffer(message);
    char name[VTDNS_NAME_SIZE] = {};
    INT count = -1;
    DWORD addresses[VTDNS_MAX_ADDRESSES] = {};
    Answer answer;
    answer.result = vtdns_response_retrieve_name_ipaddr(buffer.data.get(), static_cast<DWORD>(buffer.size), name,
                                                        &count, addresses);
    answer.name = name;
    EXPECT_GE(count, 0);
    EXPECT_LE(count, VTDNS_MAX_ADDRESSES);
    for (INT i = 0; i < count && i < VTDNS_MAX_ADDRESSES; ++i) answer.addresses.push_back(dotted(addresses[i]));
    return answer;
}

using Addresses = std::vector<std::string>;

TEST(VtdnsResponse, FollowsTheCnameChainToTheAddresses) {
    const Answer answer = read_answer(hex(kAnswerWithCnames));
    EXPECT_EQ(answer.result, 1);
    EXPECT_EQ(answer.name, "www.example.com");   // the question's name, not the CNAME target
    EXPECT_EQ(answer.addresses, (Addresses{"93.184.216.34", "93.184.216.35"}));
}

TEST(VtdnsResponse, AnswerShapes) {
    struct Case {
        const char* label;
        Bytes message;
        Addresses expected;
    };
    Bytes direct = answer_head(2);
    append_a_record(direct, 192, 0, 2, 1);
    append_a_record(direct, 192, 0, 2, 2);

    const Case cases[] = {
        {"two direct A records", direct, {"192.0.2.1", "192.0.2.2"}},
        {"no answers (name error)", hex(R"(12 34 81 83 00 01 00 00 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01)"),
         {}},
        {"A record of class CH is not an address", hex(R"(12 34 81 80 00 01 00 01 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01
            c0 0c 00 01 00 03 00 00 00 3c 00 04 0a 01 02 03)"),
         {}},
        {"CNAMEs in a loop give no address", hex(R"(12 34 81 80 00 01 00 03 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01
            c0 0c 00 05 00 01 00 00 00 3c 00 04 01 62 c0 10   # www.example.com CNAME b.example.com (@45)
            c0 2d 00 05 00 01 00 00 00 3c 00 02 c0 0c         # b.example.com CNAME www.example.com
            01 63 c0 10 00 01 00 01 00 00 00 3c 00 04 0a 00 00 09   # c.example.com A (unrelated)
        )"),
         {}},
        {"owner names compare without regard to case", hex(R"(12 34 81 80 00 01 00 01 00 00 00 00
            03 57 57 57 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01   # WWW.example.com
            03 77 77 77 07 45 58 41 4d 50 4c 45 03 43 4f 4d 00               # www.EXAMPLE.COM
            00 01 00 01 00 00 00 3c 00 04 c6 33 64 07)"),
         {"198.51.100.7"}},
    };
    for (const Case& c : cases) {
        const Answer answer = read_answer(c.message);
        EXPECT_EQ(answer.result, 1) << c.label;
        EXPECT_EQ(answer.name, "www.example.com") << c.label;
        EXPECT_EQ(answer.addresses, c.expected) << c.label;
    }
}

TEST(VtdnsResponse, KeepsTheFirst32Addresses) {
    Bytes message = answer_head(40);
    for (int i = 0; i < 40; ++i) append_a_record(message, 10, 0, 0, static_cast<unsigned char>(i));
    const Answer answer = read_answer(message);
    EXPECT_EQ(answer.result, 1);
    ASSERT_EQ(answer.addresses.size(), 32u);
    EXPECT_EQ(answer.addresses.front(), "10.0.0.0");
    EXPECT_EQ(answer.addresses.back(), "10.0.0.31");
}

TEST(VtdnsResponse, TakesAMessageBehindTheStreamLength) {
    const Bytes answer = hex(kAnswerWithCnames);
    Bytes framed = {static_cast<unsigned char>(answer.size() >> 8), static_cast<unsigned char>(answer.size() & 0xff)};
    framed.insert(framed.end(), answer.begin(), answer.end());
    const Answer got = read_answer(framed);
    EXPECT_EQ(got.name, "www.example.com");
    EXPECT_EQ(got.addresses, (Addresses{"93.184.216.34", "93.184.216.35"}));
}

TEST(VtdnsResponse, IgnoresStaleBytesAfterTheMessage) {
    Bytes longer = hex(kAnswerWithCnames);
    longer.insert(longer.end(), 300, 0xc0);
    EXPECT_EQ(read_answer(longer).addresses.size(), 2u);
}

TEST(VtdnsResponse, MalformedAnswersYieldNothing) {
    struct Case {
        const char* label;
        Bytes message;
    };
    Bytes badA = answer_head(2);
    append_a_record(badA, 192, 0, 2, 1);
    const Bytes fiveBytes = hex("c0 0c 00 01 00 01 00 00 00 3c 00 05 01 02 03 04 05");
    badA.insert(badA.end(), fiveBytes.begin(), fiveBytes.end());

    Bytes query = hex(kAnswerWithCnames);
    query[2] &= 0x7f;   // clear the response flag

    const Case cases[] = {
        {"A record with five bytes of data", badA},
        {"not a response", query},
        {"CNAME data longer than its name", hex(R"(12 34 81 80 00 01 00 02 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01
            c0 0c 00 05 00 01 00 00 00 3c 00 05 01 62 c0 10 ff
            c0 0c 00 01 00 01 00 00 00 3c 00 04 0a 00 00 01)")},
        {"answer owner points forward", hex(R"(12 34 81 80 00 01 00 01 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01
            c0 30 00 01 00 01 00 00 00 3c 00 04 0a 00 00 01)")},
        {"answer owner points at itself", hex(R"(12 34 81 80 00 01 00 01 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01
            c0 21 00 01 00 01 00 00 00 3c 00 04 0a 00 00 01)")},
        {"record data runs past the end", hex(R"(12 34 81 80 00 01 00 01 00 00 00 00
            03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01
            c0 0c 00 01 00 01 00 00 00 3c 00 04 0a 00)")},
        {"more answers announced than present", answer_head(1)},
        {"header only", hex("12 34 81 80 00 00 00 00 00 00 00 00")},
    };
    for (const Case& c : cases) {
        const Answer answer = read_answer(c.message);
        EXPECT_EQ(answer.result, 0) << c.label;
        EXPECT_EQ(answer.name, "") << c.label;
        EXPECT_TRUE(answer.addresses.empty()) << c.label;
    }
}

TEST(VtdnsResponse, EveryTruncationYieldsNothing) {
    const Bytes full = hex(kAnswerWithCnames);
    ASSERT_EQ(full.size(), 169u);
    for (size_t size = 0; size < full.size(); ++size) {
        const Answer answer = read_answer(Bytes(full.begin(), full.begin() + size));
        EXPECT_EQ(answer.result, 0) << size;
        EXPECT_EQ(answer.name, "") << size;
        EXPECT_TRUE(answer.addresses.empty()) << size;
    }
}

TEST(VtdnsResponse, NullArgumentsAreRefused) {
    const Bytes answer = hex(kAnswerWithCnames);
    const char* data = reinterpret_cast<const char*>(answer.data());
    char name[VTDNS_NAME_SIZE] = {};
    INT count = 7;
    DWORD addresses[VTDNS_MAX_ADDRESSES];
    EXPECT_EQ(vtdns_response_retrieve_name_ipaddr(nullptr, 169, name, &count, addresses), 0);
    EXPECT_EQ(count, 0);
    count = 7;
    EXPECT_EQ(vtdns_response_retrieve_name_ipaddr(data, 169, name, &count, nullptr), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(vtdns_response_retrieve_name_ipaddr(data, 169, nullptr, &count, addresses), 0);
    EXPECT_EQ(vtdns_response_retrieve_name_ipaddr(data, 169, name, nullptr, addresses), 0);
}

}  // namespace
