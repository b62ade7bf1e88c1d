// The compiled automata against a plain reference matcher on random lists and texts: short texts,
// long ones (scanned in interleaved quarters whose seams are mended afterwards) and tables split
// over several automata.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "table_helpers.h"
#include "termscan_automaton.h"
#include "termscan_text.h"

using namespace termscan;
using termscan_test::Exact;
using termscan_test::Table;

namespace {

// Counts (entry, end position) pairs the slow way, straight from the rules.
uint64_t reference_count(const std::vector<Pattern>& patterns, const std::string& text, Mode mode) {
    const size_t n = text.size();
    auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    uint64_t total = 0;
    for (const Pattern& p : patterns) {
        std::set<size_t> ends;
        for (size_t t = 0; t <= n; ++t) {
            if (mode == Mode::Content && p.needLeft && t > 0 && is_word_char(at(t - 1))) continue;
            size_t u = t;
            bool ok = true;
            for (uint16_t item : p.items) {
                if (item == kSpaceRun) {
                    ok = u < n && is_space_char(at(u));
                    while (u < n && is_space_char(at(u))) ++u;
                } else {
                    ok = u < n && fold(at(u)) == item;
                    ++u;
                }
                if (!ok) break;
            }
            if (!ok) continue;
            // A trailing wildcard takes the rest of the word, which always ends: the match counts
            // where the entry's text ends.
            if (mode == Mode::Content && p.needRight && !p.trailWild && u < n && is_word_char(at(u))) continue;
            ends.insert(u);
        }
        total += ends.size();
    }
    return total;
}

std::string random_text(std::mt19937& rng, size_t length, const std::string& alphabet) {
    std::string s(length, ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

std::vector<std::string> random_entries(std::mt19937& rng) {
    std::vector<std::string> entries(1 + rng() % 6);
    for (std::string& e : entries) {
        e = random_text(rng, 1 + rng() % 4, "abc -1");
        if (rng() % 4 == 0) e = "*" + e;
        if (rng() % 4 == 0) e += "*";
    }
    return entries;
}

const std::string kTextAlphabet = std::string("abcAB  -1\t\n*") + "\xE9";

void expect_counts_match(const std::vector<std::string>& entries, const std::string& text) {
    Table table(entries);
    Exact exact(text);
    for (Mode mode : {Mode::Content, Mode::Name}) {
        const auto patterns = parse_table(table.get(), table.count, '*', mode);
        DWORD counter = 0;
        termscan_process(exact.data.get(), exact.length, table.get(), table.count, 0, 0, mode == Mode::Name, &counter,
                         '*');
        ASSERT_EQ(counter, reference_count(patterns, text, mode))
            << (mode == Mode::Name ? "name" : "content") << " scan of \"" << text << "\"";
    }
}

TEST(ReferenceMatcher, AgreesOnShortTexts) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 400; ++round) {
        const auto entries = random_entries(rng);
        expect_counts_match(entries, random_text(rng, rng() % 120, kTextAlphabet));
    }
}

TEST(ReferenceMatcher, AgreesOnLongTextsAcrossTheQuarterSeams) {
    std::mt19937 rng(99);
    for (int round = 0; round < 24; ++round) {
        const auto entries = random_entries(rng);
        // Long white space runs and long words make the quarter runs meet late, or never.
        std::string text = random_text(rng, 4096 + rng() % 6000, round % 3 == 0 ? "ab" : kTextAlphabet);
        if (round % 3 == 1) text.replace(text.size() / 4 - 50, 100, std::string(100, round % 2 ? ' ' : 'a'));
        expect_counts_match(entries, text);
    }
}

TEST(ReferenceMatcher, ATableSplitOverSeveralAutomataCountsTheSame) {
    std::mt19937 rng(7);
    std::vector<std::string> entries;
    for (int i = 0; i < 60; ++i) entries.push_back(random_text(rng, 2 + rng() % 5, "abcdefgh ") + (i % 5 ? "" : "*"));
    Table table(entries);
    const auto patterns = parse_table(table.get(), table.count, '*', Mode::Content);
    const auto split = Automaton::compile(patterns, Mode::Content, 2000);
    const auto whole = Automaton::compile(patterns, Mode::Content);
    ASSERT_GT(split->parts().size(), 1u);
    ASSERT_EQ(whole->parts().size(), 1u);
    for (size_t length : {300u, 9000u}) {
        const std::string text = random_text(rng, length, "abcdefgh  ");
        const auto* data = reinterpret_cast<const unsigned char*>(text.data());
        const uint64_t expected = reference_count(patterns, text, Mode::Content);
        EXPECT_EQ(split->count(data, text.size()), expected);
        EXPECT_EQ(whole->count(data, text.size()), expected);
    }
}

}  // namespace
