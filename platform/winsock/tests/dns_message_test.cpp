// The resolver's DNS messages: the query it sends, and what it takes from an answer.
#include "dns_fixtures.h"
#include "dns_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dns_fixtures;
using qf::ws2::DnsAnswer;
using qf::ws2::HostRecord;

namespace {

const uint16_t kId = 0x1234;  // the fixtures' id

DnsAnswer read(const Bytes& message, const char* name, HostRecord& record, size_t size) {
    Exact buffer(message, size);
    return qf::ws2::dns_read_answer(reinterpret_cast<const unsigned char*>(buffer.data.get()), buffer.size, kId, name,
                                    record);
}

DnsAnswer read(const Bytes& message, const char* name = "www.example.com") {
    HostRecord record;
    return read(message, name, record, message.size());
}

std::string dotted(uint32_t address) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

using Texts = std::vector<std::string>;

TEST(DnsMessage, TheQueryAsksForTheIpv4AddressesOfTheName) {
    for (const char* name : {"www.example.com", "www.example.com."}) {
        std::string query;
        ASSERT_TRUE(qf::ws2::dns_build_query(kId, name, query)) << name;
        EXPECT_EQ(Bytes(query.begin(), query.end()), hex(kQuery)) << name;
    }
}

TEST(DnsMessage, NamesThatNoQueryCanCarryAreRefused) {
    const std::string label63(63, 'a');
    const std::string name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b');
    std::string query;
    EXPECT_TRUE(qf::ws2::dns_build_query(kId, (label63 + ".example").c_str(), query));
    EXPECT_TRUE(qf::ws2::dns_build_query(kId, name253.c_str(), query));
    for (const std::string& bad : {std::string(""), std::string("."), std::string("a..b"), std::string(".a"),
                                   std::string("a.."), std::string(64, 'a') + ".example", name253 + "b"}) {
        EXPECT_FALSE(qf::ws2::dns_build_query(kId, bad.c_str(), query)) << bad;
    }
}

TEST(DnsMessage, TheCnameChainLeadsToTheAddresses) {
    HostRecord record;
    const Bytes answer = hex(kAnswerWithCnames);
    ASSERT_EQ(read(answer, "WWW.Example.com", record, answer.size()), DnsAnswer::Found);
    EXPECT_EQ(record.name, "edge.cdn.example.net");
    EXPECT_EQ(record.aliases, (Texts{"www.example.com", "cdn.example.net"}));
    Texts addresses;
    for (uint32_t a : record.addresses) addresses.push_back(dotted(a));
    EXPECT_EQ(addresses, (Texts{"93.184.216.34", "93.184.216.35"}));
}

TEST(DnsMessage, WhatTheAnswerSays) {
    auto with = [](size_t at, std::vector<unsigned char> bytes) {
        Bytes message = hex(kAnswerWithCnames);
        std::copy(bytes.begin(), bytes.end(), message.begin() + at);
        return message;
    };
    const struct {
        const char* label;
        Bytes message;
        const char* asked;
        DnsAnswer expected;
    } cases[] = {
        {"no such name", with(2, {0x81, 0x83}), "www.example.com", DnsAnswer::NoSuchName},
        {"the answer is about another name (a spoiled query)", hex(kAnswerWithCnames), "www.example.org",
         DnsAnswer::NoSuchName},
        {"a name without addresses", answer_head(0), "www.example.com", DnsAnswer::NoAddress},
        {"server failure", with(2, {0x81, 0x82}), "www.example.com", DnsAnswer::ServerFailure},
        {"truncated", with(2, {0x83, 0x80}), "www.example.com", DnsAnswer::ServerFailure},
        {"refused", with(2, {0x81, 0x85}), "www.example.com", DnsAnswer::Refused},
        {"format error", with(2, {0x81, 0x81}), "www.example.com", DnsAnswer::Refused},
        {"another query's id", with(0, {0x43, 0x21}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"a query, not an answer", with(2, {0x01, 0x00}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"another opcode", with(2, {0x89, 0x80}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"two questions", with(4, {0x00, 0x02}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"a question for AAAA", with(29, {0x00, 0x1c}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"an owner that points at itself", with(33, {0xc0, 0x21}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"a label holding a dot", with(13, {'.'}), "www.example.com", DnsAnswer::NotAnAnswer},
        {"a record longer than the message", with(43, {0xff, 0xff}), "www.example.com", DnsAnswer::NotAnAnswer},
    };
    for (const auto& c : cases) EXPECT_EQ(read(c.message, c.asked), c.expected) << c.label;
}

TEST(DnsMessage, AnAnswerCutShortIsNoAnswerUntilItsAnswerSectionIsWhole) {
    const Bytes answer = hex(kAnswerWithCnames);
    const size_t answerSectionEnd = 135;  // the authority and additional sections are not read
    for (size_t size = 0; size <= answer.size(); ++size) {
        HostRecord record;
        EXPECT_EQ(read(answer, "www.example.com", record, size),
                  size < answerSectionEnd ? DnsAnswer::NotAnAnswer : DnsAnswer::Found)
            << size;
    }
}

TEST(DnsMessage, AtMostAHostEntrysAddressesAreKept) {
    Bytes answer = answer_head(40);
    for (unsigned char i = 0; i < 40; ++i) append_a_record(answer, 10, 0, 0, i);
    HostRecord record;
    ASSERT_EQ(read(answer, "www.example.com", record, answer.size()), DnsAnswer::Found);
    ASSERT_EQ(record.addresses.size(), qf::ws2::kMaxHostAddresses);
    EXPECT_EQ(dotted(record.addresses.back()), "10.0.0.34");
}

}  // namespace
