// The matching rules of the three scanners, as tables of (entries, text, expected result).
#include <gtest/gtest.h>

#include "table_helpers.h"

using termscan_test::count_content;
using termscan_test::count_topics;
using termscan_test::Exact;
using termscan_test::Table;

namespace {

struct Case {
    const char* name;
    std::vector<std::string> entries;
    std::string text;
    DWORD expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ContentMatching : public ::testing::TestWithParam<Case> {};

TEST_P(ContentMatching, CountsEachOccurrence) {
    const Case& c = GetParam();
    Table table(c.entries);
    EXPECT_EQ(count_content(table, c.text), c.expected);
    // The topic scanner follows the same rules in content, inbound web content or not.
    EXPECT_EQ(count_topics(table, c.text, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ContentMatching,
    ::testing::Values(
        Case{"word_between_spaces", {"poker"}, "play poker tonight", 1},
        Case{"word_alone_is_the_whole_buffer", {"poker"}, "poker", 1},
        Case{"word_at_buffer_start_and_end", {"poker"}, "poker and poker", 2},
        Case{"word_inside_a_longer_word", {"sex"}, "Essex sextant unisex", 0},
        Case{"letters_and_digits_join_words", {"sex"}, "sex4you 4sex sex_shop", 1},
        Case{"punctuation_and_markup_separate_words", {"porn"}, "<b>porn</b>,(porn)\"porn\"", 3},
        Case{"case_is_ignored_both_ways", {"PoKeR"}, "POKER poker Poker", 3},
        Case{"bytes_above_ascii_are_word_characters", {"sex"}, "sex\xC3\xA9 \xC3\xA9sex sex", 1},
        Case{"nul_bytes_separate_words", {"sex"}, std::string("a\0sex\0b", 7), 1},
        Case{"each_entry_counts_separately", {"gun", "rifle"}, "gun rifle gun", 3},
        Case{"repeated_entries_count_once", {"gun", "GUN", " gun "}, "gun", 1},
        Case{"entry_with_punctuation_edges", {"c++"}, "learn c++ today, c++!", 2},
        Case{"empty_slots_and_bare_wildcards_match_nothing", {"", "*", "**", "   ", "* *"}, "* ** text *", 0}));

INSTANTIATE_TEST_SUITE_P(
    Wildcards, ContentMatching,
    ::testing::Values(
        Case{"leading_wildcard_ends_words", {"*porn"}, "porn kiddieporn pornography", 2},
        Case{"trailing_wildcard_starts_words", {"porn*"}, "porn pornography kiddieporn", 2},
        Case{"wildcard_run_may_hold_digits", {"porn*"}, "porn4free", 1},
        Case{"one_count_per_word_whatever_repeats", {"*porn", "porn*"}, "pornporn", 2},
        Case{"wildcards_at_both_ends", {"*porn*"}, "xxpornxx porn", 2},
        Case{"both_ends_count_each_occurrence_of_the_text", {"*porn*"}, "xpornpornx", 2},
        Case{"wildcard_at_buffer_end", {"gambl*"}, "go gambling", 1},
        Case{"wildcard_inside_is_a_plain_character", {"ab*cd"}, "abxcd ab*cd", 1},
        Case{"word_and_its_wildcard_form_both_count", {"sex", "sex*"}, "sex", 2}));

INSTANTIATE_TEST_SUITE_P(
    Phrases, ContentMatching,
    ::testing::Values(
        Case{"phrase_across_tabs_newlines_and_spaces", {"hate speech"}, "hate\t \r\n  speech", 1},
        Case{"phrase_entry_with_several_spaces", {"  hate   speech "}, "hate speech", 1},
        Case{"phrase_needs_the_white_space", {"hate speech"}, "hatespeech hate-speech", 0},
        Case{"phrase_on_word_boundaries", {"hate speech"}, "hate speeches, whate speech", 0},
        Case{"phrase_at_buffer_end", {"buy drugs"}, "where to buy drugs", 1},
        Case{"overlapping_phrases", {"a b", "b c"}, "a b c", 2}));

struct NameCase {
    const char* name;
    std::vector<std::string> entries;
    std::string text;
    DWORD expected;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class HostNameScan : public ::testing::TestWithParam<NameCase> {};

TEST_P(HostNameScan, WordsMatchAnywhereInAName) {
    const NameCase& c = GetParam();
    Table table(c.entries);
    EXPECT_EQ(count_topics(table, c.text, 1), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostNameScan,
    ::testing::Values(NameCase{"word_inside_a_label", {"sex"}, "www.freesexshop.com", 1},
                      NameCase{"every_occurrence", {"sex"}, "sexsex.sex.com", 3},
                      NameCase{"wildcards_are_dropped", {"*porn", "casino*"}, "PORNcasinos.net", 2},
                      NameCase{"no_hit", {"poker"}, "www.example.com", 0}));

struct SiteCase {
    const char* name;
    std::vector<std::string> entries;
    std::string text;
    bool contained;
};
void PrintTo(const SiteCase& c, std::ostream* os) { *os << c.name; }

class SiteSearch : public ::testing::TestWithParam<SiteCase> {};

TEST_P(SiteSearch, Contains) {
    const SiteCase& c = GetParam();
    Table table(c.entries);
    Exact text(c.text);
    EXPECT_EQ(termscan_search_containsword(text.data.get(), static_cast<int>(text.length), table.get(), table.count),
              c.contained ? TERMSCAN_CONTAINED : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sites, SiteSearch,
    ::testing::Values(SiteCase{"site_itself", {"badsite.com"}, "badsite.com", true},
                      SiteCase{"site_under_a_host_label", {"badsite.com"}, "www.badsite.com", true},
                      SiteCase{"site_is_not_a_label_prefix", {"badsite.com"}, "notbadsite.com", false},
                      SiteCase{"site_must_end_the_name", {"badsite.com"}, "badsite.com.example.net", false},
                      SiteCase{"site_case_and_trailing_dot", {"BadSite.COM"}, "WWW.badsite.com.", true},
                      SiteCase{"name_with_a_port", {"badsite.com"}, "badsite.com:8080", true},
                      SiteCase{"entry_with_scheme_path_and_port", {"http://badsite.com:80/page/x"}, "badsite.com", true},
                      SiteCase{"site_without_a_dot_is_matched_as_a_word", {"localhost"}, "localhost", true},
                      SiteCase{"site_with_a_path_but_no_dot", {"intranet/wiki"}, "my.intranet", true},
                      SiteCase{"site_with_a_path_but_no_dot_is_a_label", {"intranet/wiki"}, "myintranet", false}));

INSTANTIATE_TEST_SUITE_P(
    Addresses, SiteSearch,
    ::testing::Values(SiteCase{"address_exactly", {"10.0.0.5"}, "10.0.0.5", true},
                      SiteCase{"address_longer_first_byte", {"10.0.0.5"}, "110.0.0.5", false},
                      SiteCase{"address_longer_last_byte", {"10.0.0.5"}, "10.0.0.50", false},
                      SiteCase{"address_entry_never_a_name_suffix", {"0.0.5"}, "10.0.0.5", false},
                      SiteCase{"site_entries_never_match_an_address", {"badsite.com", "sex"}, "10.0.0.5", false},
                      SiteCase{"digit_words_never_match_inside_an_address", {"123"}, "10.123.0.1", false}));

INSTANTIATE_TEST_SUITE_P(
    Words, SiteSearch,
    ::testing::Values(SiteCase{"word_anywhere_in_a_name", {"sex"}, "www.sexshop.com", true},
                      SiteCase{"wildcard_word_in_a_name", {"*porn"}, "FreePornSite.net", true},
                      SiteCase{"word_absent", {"poker", "casino"}, "www.example.com", false},
                      SiteCase{"empty_entries_only", {"", "*", " "}, "anything.com", false},
                      SiteCase{"empty_name", {"sex"}, "", false}));

TEST(SiteSearch, ALongNameOfManyLabelsIsJudgedByItsLastLabels) {
    // 200,000 labels: looking each suffix up from every dot (as the search once did) hashes
    // tens of gigabytes; only the suffixes as long as the longest site entry can be one.
    Table table({"badsite.com", "other.example.org"});
    std::string labels;
    for (int i = 0; i < 200000; ++i) labels += "a.";
    for (const auto& [name, contained] : {std::pair<std::string, bool>{labels + "badsite.com", true},
                                          {labels + "sub.other.example.org", true},
                                          {labels + "notbadsite.com", false},
                                          {labels + "com", false}}) {
        Exact text(name);
        EXPECT_EQ(termscan_search_containsword(text.data.get(), static_cast<int>(text.length), table.get(), table.count),
                  contained ? TERMSCAN_CONTAINED : 0)
            << name.substr(labels.size());
    }
}

TEST(SiteSearch, StopsAtTheTerminatorWithinTheLength) {
    Table table({"badsite.com"});
    const char text[] = "x.com\0badsite.com";
    EXPECT_EQ(termscan_search_containsword(text, sizeof(text) - 1, table.get(), table.count), 0);
}

TEST(Scanners, UnterminatedAndOversizeSlotsAreCutAt179Characters) {
    // The last slot of an exactly sized table has no terminator: the entry is its first 179
    // characters, and nothing past the table is read.
    Table wide({"sex", std::string(200, 'x')});
    const std::string cut(179, 'x');
    EXPECT_EQ(count_content(wide, cut), 1u);
    EXPECT_EQ(count_content(wide, cut + "x"), 0u);
    EXPECT_EQ(count_content(wide, "sex " + cut + " sex"), 3u);
    Exact name(cut + ".com");
    EXPECT_EQ(termscan_search_containsword(name.data.get(), static_cast<int>(name.length), wide.get(), wide.count),
              TERMSCAN_CONTAINED);
    EXPECT_EQ(count_topics(wide, "a" + cut + "b", 1), 1u);
}

TEST(Scanners, CountsAreClampedToWhatATableCanHold) {
    Table big({}, TERMSCAN_TOPIC_CAPACITY);
    for (int i = 0; i < TERMSCAN_TOPIC_CAPACITY; ++i) big.set(i, "w" + std::to_string(i));
    DWORD counter = 0;
    Exact text("w0 w4095 w4096");
    termscan_process(text.data.get(), text.length, big.get(), 1000000, 80, 0, 0, &counter, '*');
    EXPECT_EQ(counter, 2u);
    counter = 0;
    termscan_process(text.data.get(), text.length, big.get(), -3, 80, 0, 0, &counter, '*');
    EXPECT_EQ(counter, 0u);
    EXPECT_EQ(termscan_search_containsword("w4095", 5, big.get(), 0x7FFFFFFF), TERMSCAN_CONTAINED);
}

TEST(Scanners, MissingArgumentsFindNothing) {
    Table table({"sex"});
    DWORD counter = 7;
    EXPECT_EQ(termscan_process_containsword(nullptr, 3, table.get(), 1, 80, &counter, '*'), 1);
    EXPECT_EQ(termscan_process(nullptr, 3, table.get(), 1, 80, 0, 0, &counter, '*'), 1);
    EXPECT_EQ(termscan_process_containsword("sex", 0, table.get(), 1, 80, &counter, '*'), 1);
    EXPECT_EQ(termscan_process_containsword("sex", 3, nullptr, 1, 80, &counter, '*'), 1);
    EXPECT_EQ(counter, 7u);
    EXPECT_EQ(termscan_process_containsword("sex", 3, table.get(), 1, 80, nullptr, '*'), 0);
    EXPECT_EQ(termscan_search_containsword(nullptr, 3, table.get(), 1), 0);
    EXPECT_EQ(termscan_search_containsword("sex", -1, table.get(), 1), 0);
}

TEST(Scanners, CounterAddsToWhatItHeldAndStopsAtItsLimit) {
    Table table({"gun"});
    Exact text("gun gun");
    DWORD counter = 5;
    termscan_process_containsword(text.data.get(), text.length, table.get(), table.count, 0, &counter, '*');
    EXPECT_EQ(counter, 7u);
    counter = 0xFFFFFFFEu;
    termscan_process_containsword(text.data.get(), text.length, table.get(), table.count, 0, &counter, '*');
    EXPECT_EQ(counter, 0xFFFFFFFFu);
}

TEST(Scanners, TheWildcardArgumentIsTheWildcard) {
    Table table({"porn%", "*x"});
    Exact text("pornography *x");
    DWORD counter = 0;
    termscan_process_containsword(text.data.get(), text.length, table.get(), table.count, 80, &counter, '%');
    EXPECT_EQ(counter, 2u);  // "porn%" and "*x" taken literally, which "*x" matches after a space
}

TEST(Scanners, ATableChangedInPlaceIsCompiledAnew) {
    Table table({"poker", "dice"});
    EXPECT_EQ(count_content(table, "poker dice casino"), 2u);
    table.set(1, "casino");
    EXPECT_EQ(count_content(table, "poker dice casino"), 2u);
    EXPECT_EQ(count_content(table, "dice"), 0u);
    table.count = 1;
    EXPECT_EQ(count_content(table, "poker dice casino"), 1u);
    // Searching sites and scanning names keep separate compiled forms of the same table.
    Exact name("casino.poker.com");
    table.count = 2;
    EXPECT_EQ(termscan_search_containsword(name.data.get(), static_cast<int>(name.length), table.get(), table.count),
              TERMSCAN_CONTAINED);
    EXPECT_EQ(count_topics(table, "casino.poker.com", 1), 2u);
}

// A change of any one entry of a table larger than a sample of its entries (an edit, or damage)
// is seen by the next scan, whichever entry it is; so is a change that keeps the entry's length.
TEST(Scanners, AChangeOfAnyEntryOfALargeTableIsCompiledAnew) {
    std::vector<std::string> entries;
    for (int i = 0; i < 100; ++i) entries.push_back("entry" + std::to_string(1000 + i));
    Table table(entries);
    const std::string text = "a page with other9999 in it";
    EXPECT_EQ(count_content(table, text), 0u);
    for (int i = 0; i < table.count; ++i) {
        table.set(i, "other9999");  // nine characters, as every entry
        ASSERT_EQ(count_content(table, text), 1u) << "entry " << i;
        table.set(i, entries[i]);
    }
    EXPECT_EQ(count_content(table, text), 0u);
    // The same text in a site table: the site search sees the change too.
    table.set(77, "target9999.example");
    Exact name("www.target9999.example");
    EXPECT_EQ(termscan_search_containsword(name.data.get(), static_cast<int>(name.length), table.get(), table.count),
              TERMSCAN_CONTAINED);
}

}  // namespace
