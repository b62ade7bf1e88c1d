// Random, truncated and mutated messages: no routine may read past the buffer (the sanitizer
// build checks that) or hand back a half-filled result.
#include "dns_fixtures.h"
#include "vtdns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace dns_fixtures;

namespace {

void check_all_routines(const Bytes& bytes) {
    Exact buffer(bytes);
    const DWORD size = static_cast<DWORD>(buffer.size);

    char name[VTDNS_NAME_SIZE] = {};
    const int queryResult = vtdns_query_retrieve_name(buffer.data.get(), size, name);
    ASSERT_LT(std::strlen(name), static_cast<size_t>(VTDNS_NAME_SIZE));
    if (queryResult != 1) {
        ASSERT_STREQ(name, "");
    }

    char answerName[VTDNS_NAME_SIZE] = {};
    INT count = -1;
    DWORD addresses[VTDNS_MAX_ADDRESSES];
    const int answerResult = vtdns_response_retrieve_name_ipaddr(buffer.data.get(), size, answerName, &count, addresses);
    ASSERT_GE(count, 0);
    ASSERT_LE(count, VTDNS_MAX_ADDRESSES);
    ASSERT_LT(std::strlen(answerName), static_cast<size_t>(VTDNS_NAME_SIZE));
    if (answerResult != 1) {
        ASSERT_EQ(count, 0);
        ASSERT_STREQ(answerName, "");
    }

    if (vtdns_query_clean_name(buffer.data.get(), size) == 1) {
        // A spoiled query still parses, and what it asks for is made of '-' and '.' only.
        char spoiled[VTDNS_NAME_SIZE] = {};
        ASSERT_EQ(vtdns_query_retrieve_name(buffer.data.get(), size, spoiled), 1);
        ASSERT_EQ(std::strspn(spoiled, "-."), std::strlen(spoiled)) << spoiled;
        ASSERT_GT(std::strlen(spoiled), 0u);
    }
}

Bytes mutated(const Bytes& seed, std::mt19937& random) {
    Bytes bytes = seed;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const size_t at = random() % bytes.size();
        switch (random() % 4) {
        case 0: bytes[at] ^= static_cast<unsigned char>(1u << (random() % 8)); break;
        case 1: bytes[at] = static_cast<unsigned char>(random()); break;
        case 2: bytes[at] = 0xc0; break;   // make pointers likely
        default: bytes.resize(at); break;
        }
    }
    return bytes;
}

TEST(VtdnsFuzz, RandomMessages) {
    std::mt19937 random(20240611);
    for (int i = 0; i < 3000; ++i) {
        Bytes bytes(random() % 300);
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
        if (bytes.size() >= 6 && (i % 2) == 0) {
            // A plausible header makes the parsers go deeper.
            bytes[2] = (i % 4 == 0) ? 0x81 : 0x01;
            bytes[4] = 0;
            bytes[5] = 1;
        }
        check_all_routines(bytes);
        if (HasFatalFailure()) return;
    }
}

TEST(VtdnsFuzz, MutatedFixtures) {
    std::vector<Bytes> seeds = {hex(kQuery), hex(kQueryWithOpt), hex(kAnswerWithCnames)};
    Bytes many = answer_head(40);
    for (int i = 0; i < 40; ++i) append_a_record(many, 10, 0, 0, static_cast<unsigned char>(i));
    seeds.push_back(many);
    std::mt19937 random(7);
    for (const Bytes& seed : seeds) {
        for (int i = 0; i < 1500; ++i) {
            check_all_routines(mutated(seed, random));
            if (HasFatalFailure()) return;
        }
    }
}

TEST(VtdnsFuzz, StreamFramedMutations) {
    const Bytes answer = hex(kAnswerWithCnames);
    Bytes framed = {0, static_cast<unsigned char>(answer.size())};
    framed.insert(framed.end(), answer.begin(), answer.end());
    std::mt19937 random(99);
    for (int i = 0; i < 1500; ++i) {
        check_all_routines(mutated(framed, random));
        if (HasFatalFailure()) return;
    }
}

}  // namespace
