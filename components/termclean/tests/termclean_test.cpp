#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "table_helpers.h"
#include "termclean.h"

using termscan_test::Table;

namespace {

struct Connection {
    WORD state[5] = {0, 0, 0, 0, 0};
    // Cleans one chunk in a buffer of exactly its size and returns it.
    std::string clean(const Table& topics, const Table& words, const std::string& chunk) {
        std::unique_ptr<char[]> data(new char[chunk.size()]);
        memcpy(data.get(), chunk.data(), chunk.size());
        termclean_process(data.get(), static_cast<DWORD>(chunk.size()), topics.get(), topics.count, words.get(),
                          words.count, 80, &state[0], &state[1], &state[2], &state[3], &state[4]);
        return std::string(data.get(), chunk.size());
    }
};

struct Case {
    const char* name;
    std::vector<std::string> topics;
    std::vector<std::string> words;
    std::string text;
    std::string cleaned;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class CleanChunk : public ::testing::TestWithParam<Case> {};

TEST_P(CleanChunk, StarsOutMatchesInPlace) {
    const Case& c = GetParam();
    Table topics(c.topics), words(c.words);
    EXPECT_EQ(Connection().clean(topics, words, c.text), c.cleaned);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CleanChunk,
    ::testing::Values(
        Case{"topic_word", {"porn"}, {}, "free porn here", "free **** here"},
        Case{"disallowed_word", {}, {"poker"}, "<b>Poker</b> night", "<b>*****</b> night"},
        Case{"both_tables", {"gun"}, {"rifle"}, "gun, rifle, gunner", "***, *****, gunner"},
        Case{"leading_wildcard_takes_the_whole_word", {}, {"*porn"}, "kiddieporn site", "********** site"},
        Case{"trailing_wildcard_takes_the_whole_word", {}, {"porn*"}, "pornography.", "***********."},
        Case{"overlapping_matches_of_both_tables", {"sex"}, {"sex*"}, "sexy sex Essex", "**** *** Essex"},
        Case{"phrase_with_its_white_space", {}, {"hate speech"}, "no hate \n speech!", "no *************!"},
        Case{"word_at_both_ends_of_the_chunk", {"bet"}, {}, "bet on a bet", "*** on a ***"},
        Case{"nothing_to_clean", {"sex"}, {"porn"}, "Essex pornography", "Essex pornography"},
        Case{"empty_tables", {}, {}, "anything", "anything"}));

TEST(CleanChunk, ALongWordFullOfMatchesIsCleanedWhole) {
    // "*porn*" matches at each of the 65,536 repeats inside one word of 256 KiB, every match
    // spanning the whole word. The word is walked once for all of them: walking it again for each
    // match (as the cleaner once did) takes hours on a chunk this size.
    Table words({"*porn*"}), none({});
    std::string word;
    for (int i = 0; i < 1 << 16; ++i) word += "porn";
    const std::string stars(word.size(), '*');
    EXPECT_EQ(Connection().clean(none, words, "x " + word + " y"), "x " + stars + " y");

    Connection c;
    const size_t half = word.size() / 2 + 1;
    EXPECT_EQ(c.clean(none, words, "x " + word.substr(0, half)), "x " + stars.substr(0, half));
    EXPECT_EQ(c.clean(none, words, word.substr(half) + " y"), stars.substr(half) + " y");
}

TEST(CleanAcrossChunks, ThePartOfAMatchInTheSecondChunkIsCleaned) {
    Table topics({"pornography"}), none({});
    Connection c;
    EXPECT_EQ(c.clean(topics, none, "see porno"), "see porno");
    EXPECT_EQ(c.clean(topics, none, "graphy now"), "****** now");
}

TEST(CleanAcrossChunks, AWildcardWordIsCleanedOnBothSidesOfTheBoundary) {
    Table words({"porn*", "*sex"}), none({});
    Connection c;
    EXPECT_EQ(c.clean(none, words, "x porn"), "x ****");  // may still be a match: cleaned to the end
    EXPECT_EQ(c.clean(none, words, "ography unis"), "******* unis");
    EXPECT_EQ(c.clean(none, words, "ex ok"), "** ok");
}

TEST(CleanAcrossChunks, AWordThatMightEndAtTheChunkEndIsCleanedThere) {
    Table topics({"sex"}), none({});
    Connection c;
    EXPECT_EQ(c.clean(topics, none, "about sex"), "about ***");
    EXPECT_EQ(c.clean(topics, none, "tant"), "tant");
    EXPECT_EQ(c.clean(topics, none, " sex sextant"), " *** sextant");
}

TEST(CleanAcrossChunks, ANewConnectionStartsAfresh) {
    Table topics({"porn"}), none({});
    Connection first;
    first.clean(topics, none, "xx");
    Connection second;
    EXPECT_EQ(second.clean(topics, none, "porn"), "****");
}

TEST(CleanAcrossChunks, StateOfOtherTablesOrGarbageIsNotCarried) {
    Table a({"porn"}), b({"gun"}), none({});
    Connection c;
    c.clean(a, none, "xx");
    // The state belongs to table a's automaton: with table b the chunk is new text.
    EXPECT_EQ(c.clean(b, none, "gun"), "***");
    for (WORD& w : c.state) w = 0xFFFF;
    EXPECT_EQ(c.clean(a, none, "porn"), "****");
    c.state[4] = 0;
    c.state[0] = c.state[1] = 0xFFFF;
    EXPECT_EQ(c.clean(a, none, "porn"), "****");
}

TEST(CleanAcrossChunks, EveryMatchIsCleanedWithinTheChunkWhereItEnds) {
    std::mt19937 rng(5);
    Table topics({"ab", "ba c", "*ca"}), plainTopics({"ab", "*ca"}), words({"abc*", "c"});
    const std::string alphabet = "abc  \n-";
    for (int round = 0; round < 300; ++round) {
        std::string text(1 + rng() % 60, ' ');
        for (char& ch : text) ch = alphabet[rng() % alphabet.size()];
        const std::string whole = Connection().clean(topics, words, text);
        Connection c;
        std::string chunked;
        std::vector<size_t> chunkOf(text.size());
        for (size_t pos = 0; pos < text.size();) {
            const size_t n = std::min<size_t>(1 + rng() % 7, text.size() - pos);
            for (size_t i = pos; i < pos + n; ++i) chunkOf[i] = pos;
            chunked += c.clean(topics, words, text.substr(pos, n));
            pos += n;
        }
        ASSERT_EQ(chunked.size(), text.size());
        // Each run of stars that whole cleaning gives ends with a match: its part from the start of
        // the chunk holding that last byte must be cleaned.
        for (size_t end = 0; end < text.size(); ++end) {
            if (whole[end] != '*' || (end + 1 < text.size() && whole[end + 1] == '*')) continue;
            size_t start = end;
            while (start > 0 && whole[start - 1] == '*') --start;
            for (size_t i = std::max(start, chunkOf[end]); i <= end; ++i)
                ASSERT_EQ(chunked[i], '*') << "byte " << i << " of \"" << text << "\" cleaned whole to \"" << whole
                                           << "\", in chunks to \"" << chunked << "\"";
        }
        // Split after each line, with no phrase in the tables no match straddles two chunks: the
        // result is that of whole cleaning.
        const std::string plainWhole = Connection().clean(plainTopics, words, text);
        Connection d;
        std::string atLines;
        size_t from = 0;
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n' || i + 1 == text.size()) {
                atLines += d.clean(plainTopics, words, text.substr(from, i + 1 - from));
                from = i + 1;
            }
        ASSERT_EQ(atLines, plainWhole) << "\"" << text << "\"";
    }
}

TEST(CleanChunkArguments, MissingArgumentsChangeNothing) {
    Table topics({"sex"});
    char data[] = "sex";
    WORD s[5] = {0, 0, 0, 0, 0};
    EXPECT_EQ(termclean_process(nullptr, 3, topics.get(), 1, nullptr, 0, 80, &s[0], &s[1], &s[2], &s[3], &s[4]), 0);
    EXPECT_EQ(termclean_process(data, 3, topics.get(), 1, nullptr, 0, 80, nullptr, &s[1], &s[2], &s[3], &s[4]), 0);
    EXPECT_STREQ(data, "sex");
    EXPECT_EQ(termclean_process(data, 3, topics.get(), -4, nullptr, 0, 80, &s[0], &s[1], &s[2], &s[3], &s[4]), 1);
    EXPECT_STREQ(data, "sex");
}

}  // namespace
