#include "dns_fixtures.h"
#include "vtdns.h"

#include <gtest/gtest.h>

#include <string>

using namespace dns_fixtures;

namespace {

struct NameResult {
    int result;
    std::string name;
};

NameResult query_name(const Bytes& message) {
    Exact buffer(message);
    char name[VTDNS_NAME_SIZE] = {};
    const int result = vtdns_query_retrieve_name(buffer.data.get(), static_cast<DWORD>(buffer.size), name);
    return {result, name};
}

TEST(VtdnsQuery, ReadsTheQuestionNameAsLowerCaseDottedText) {
    struct Case {
        const char* label;
        Bytes message;
        const char* expected;
    };
    const Case cases[] = {
        {"plain query", hex(kQuery), "www.example.com"},
        {"mixed case with an EDNS record", hex(kQueryWithOpt), "mail.example.org"},
        {"unprintable bytes become '?'", query_for({"a b", std::string("x\x01y", 3), "com"}), "a?b.x?y.com"},
        {"root name is empty text", query_for({}), ""},
    };
    for (const Case& c : cases) {
        const NameResult got = query_name(c.message);
        EXPECT_EQ(got.result, 1) << c.label;
        EXPECT_EQ(got.name, c.expected) << c.label;
    }
}

TEST(VtdnsQuery, TakesAMessageBehindTheStreamLength) {
    Bytes framed = hex("00 21");   // 33 bytes follow
    const Bytes query = hex(kQuery);
    ASSERT_EQ(query.size(), 33u);
    framed.insert(framed.end(), query.begin(), query.end());
    EXPECT_EQ(query_name(framed).name, "www.example.com");
}

TEST(VtdnsQuery, NameLengthLimits) {
    const std::string l63(63, 'a');
    struct Case {
        const char* label;
        std::vector<std::string> labels;
        int expected;
    };
    const Case cases[] = {
        // 4 length bytes + 63 * 3 + 61 + root = 255 bytes on the wire, 253 characters of text.
        {"255 bytes on the wire", {l63, l63, l63, std::string(61, 'b')}, 1},
        {"256 bytes on the wire (a 254-character name)", {l63, l63, l63, std::string(62, 'b')}, 0},
        {"257 bytes on the wire (a 255-character name)", {l63, l63, l63, std::string(63, 'b')}, 0},
        {"127 one-letter labels", std::vector<std::string>(127, "x"), 1},
        {"128 one-letter labels", std::vector<std::string>(128, "x"), 0},
    };
    for (const Case& c : cases) {
        const NameResult got = query_name(query_for(c.labels));
        EXPECT_EQ(got.result, c.expected) << c.label;
        if (c.expected == 1) {
            EXPECT_EQ(got.name.size(), 253u) << c.label;
        } else {
            EXPECT_EQ(got.name, "") << c.label;
        }
    }
}

TEST(VtdnsQuery, RefusesMalformedQueries) {
    struct Case {
        const char* label;
        Bytes message;
    };
    const Case cases[] = {
        {"a response, not a query", hex("12 34 81 80 00 01 00 00 00 00 00 00 01 61 00 00 01 00 01")},
        {"no question", hex("12 34 01 00 00 00 00 00 00 00 00 00")},
        {"label of 64 bytes (0x40 label type)", hex("12 34 01 00 00 01 00 00 00 00 00 00 40 61 00 00 01 00 01")},
        {"pointer to itself", hex("12 34 01 00 00 01 00 00 00 00 00 00 c0 0c 00 01 00 01")},
        {"pointer into the header", hex("12 34 01 00 00 01 00 00 00 00 00 00 c0 04 00 01 00 01")},
        {"pointer past the end", hex("12 34 01 00 00 01 00 00 00 00 00 00 01 61 c0 ff 00 01 00 01")},
        {"pointer cut in half", hex("12 34 01 00 00 01 00 00 00 00 00 00 01 61 c0")},
        // Second question points forward to the third, which points back to the second.
        {"two pointers in a loop", hex(R"(12 34 01 00 00 03 00 00 00 00 00 00
              01 61 00 00 01 00 01       # @12 "a"
              c0 17 00 01 00 01          # @19 pointer forward to @23
              c0 13 00 01 00 01          # @23 pointer back to @19
        )")},
        {"label runs past the end", hex("12 34 01 00 00 01 00 00 00 00 00 00 05 61 62")},
        {"additional record announced but missing", hex(R"(12 34 01 00 00 01 00 00 00 00 00 01
              01 61 00 00 01 00 01)")},
    };
    for (const Case& c : cases) {
        const NameResult got = query_name(c.message);
        EXPECT_EQ(got.result, 0) << c.label;
        EXPECT_EQ(got.name, "") << c.label;
    }
}

TEST(VtdnsQuery, RefusesANameMadeTooLongThroughAPointer) {
    // Question 1 is a 200-byte name; question 2 adds 62 bytes of labels and points at question 1.
    Bytes message = hex("00 07 01 00 00 02 00 00 00 00 00 00");
    for (int i = 0; i < 4; ++i) {
        message.push_back(49);
        message.insert(message.end(), 49, 'a');
    }
    message.push_back(0);   // 4 * 50 + 1 = 201 bytes at offset 12
    message.insert(message.end(), {0, 1, 0, 1});
    message.push_back(61);
    message.insert(message.end(), 61, 'b');
    message.insert(message.end(), {0xc0, 12, 0, 1, 0, 1});
    EXPECT_EQ(query_name(message).result, 0);
}

TEST(VtdnsQuery, EveryTruncationIsRefused) {
    for (const char* fixture : {kQuery, kQueryWithOpt}) {
        const Bytes full = hex(fixture);
        for (size_t size = 0; size < full.size(); ++size) {
            Exact buffer(full, size);
            char name[VTDNS_NAME_SIZE] = {};
            EXPECT_EQ(vtdns_query_retrieve_name(buffer.data.get(), static_cast<DWORD>(size), name), 0) << size;
            EXPECT_STREQ(name, "") << size;
            EXPECT_EQ(vtdns_query_clean_name(buffer.data.get(), static_cast<DWORD>(size)), 0) << size;
            EXPECT_EQ(0, std::memcmp(buffer.data.get(), full.data(), size)) << "a refused query is left alone";
        }
    }
}

TEST(VtdnsQuery, IgnoresBytesAfterTheMessage) {
    Bytes longer = hex(kQuery);
    longer.insert(longer.end(), 40, 0xee);
    EXPECT_EQ(query_name(longer).name, "www.example.com");
}

TEST(VtdnsQuery, NullArgumentsAreRefused) {
    char name[VTDNS_NAME_SIZE] = {};
    EXPECT_EQ(vtdns_query_retrieve_name(nullptr, 33, name), 0);
    const Bytes query = hex(kQuery);
    EXPECT_EQ(vtdns_query_retrieve_name(reinterpret_cast<const char*>(query.data()), 33, nullptr), 0);
    EXPECT_EQ(vtdns_query_clean_name(nullptr, 33), 0);
}

TEST(VtdnsClean, SpoilsOnlyTheLabelBytesOfEveryQuestion) {
    const Bytes original = hex(kQueryWithOpt);
    Exact buffer(original);
    ASSERT_EQ(vtdns_query_clean_name(buffer.data.get(), static_cast<DWORD>(buffer.size)), 1);

    // Label bytes 13-16, 18-24 and 26-28 changed to '-'; everything else as it was.
    for (size_t i = 0; i < original.size(); ++i) {
        const bool labelByte = (i >= 13 && i <= 16) || (i >= 18 && i <= 24) || (i >= 26 && i <= 28);
        EXPECT_EQ(static_cast<unsigned char>(buffer.data[i]), labelByte ? '-' : original[i]) << i;
    }
    char name[VTDNS_NAME_SIZE] = {};
    EXPECT_EQ(vtdns_query_retrieve_name(buffer.data.get(), static_cast<DWORD>(buffer.size), name), 1);
    EXPECT_STREQ(name, "----.-------.---");
}

TEST(VtdnsClean, FollowsPointersOfLaterQuestions) {
    // Question 2 is "mail" + pointer to question 1 ("example.com").
    Bytes message = hex(R"(00 07 01 00 00 02 00 00 00 00 00 00
        07 65 78 61 6d 70 6c 65 03 63 6f 6d 00 00 01 00 01   # @12 example.com A IN
        04 6d 61 69 6c c0 0c 00 01 00 01                     # @29 mail + pointer to @12
    )");
    Exact buffer(message);
    ASSERT_EQ(vtdns_query_clean_name(buffer.data.get(), static_cast<DWORD>(buffer.size)), 1);
    EXPECT_EQ(std::string(buffer.data.get() + 30, 4), "----");
    EXPECT_EQ(std::string(buffer.data.get() + 13, 7), "-------");
}

TEST(VtdnsClean, StreamFramedQueryIsSpoiledBehindItsLength) {
    Bytes framed = hex("00 21");
    const Bytes query = hex(kQuery);
    framed.insert(framed.end(), query.begin(), query.end());
    Exact buffer(framed);
    ASSERT_EQ(vtdns_query_clean_name(buffer.data.get(), static_cast<DWORD>(buffer.size)), 1);
    EXPECT_EQ(buffer.data[0], 0);
    EXPECT_EQ(buffer.data[1], 0x21);
    char name[VTDNS_NAME_SIZE] = {};
    EXPECT_EQ(vtdns_query_retrieve_name(buffer.data.get(), static_cast<DWORD>(buffer.size), name), 1);
    EXPECT_STREQ(name, "---.-------.---");
}

TEST(VtdnsClean, RootQueryHasNothingToSpoil) {
    const Bytes root = query_for({});
    Exact buffer(root);
    EXPECT_EQ(vtdns_query_clean_name(buffer.data.get(), static_cast<DWORD>(buffer.size)), 0);
    EXPECT_EQ(0, std::memcmp(buffer.data.get(), root.data(), root.size()));
}

}  // namespace
