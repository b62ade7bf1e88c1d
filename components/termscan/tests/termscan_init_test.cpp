// termscan_init on a real temporary machine root: the user's dictionary (Lexstore), the topic list
// (VTList) and the topic word dictionary files under DBDIR.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <VTList.h>
#include <lexstore.h>
#include <vtlogger.h>

#include "store_root.h"
#include "table_helpers.h"
#include "worddict.h"

namespace {

const std::string kData = QF_DATA_DIR;

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The factory word list of one topic, as the dictionary holds it.
std::vector<std::string> factory_words(int id) {
    for (const auto& entry : std::filesystem::directory_iterator(kData + "/dict1/topics")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(std::to_string(id) + "_", 0) != 0) continue;
        std::vector<std::string> words;
        size_t bad = 0;
        EXPECT_TRUE(worddict::parse_list(read_text(entry.path().string()), words, &bad)) << name << ":" << bad;
        return words;
    }
    ADD_FAILURE() << "no list for topic " << id;
    return {};
}

std::set<std::string> entries(const TermSlot* table, INT count) {
    std::set<std::string> out;
    for (INT i = 0; i < count; ++i) out.insert(std::string(table[i], strnlen(table[i], TERMSCAN_SLOT_SIZE)));
    return out;
}

TEST(FactoryDictionary, ShippedFilesAreBuiltFromTheWordLists) {
    std::vector<std::pair<int32_t, std::vector<std::string>>> topics;
    for (int id = 0; id < 8; ++id) {
        topics.emplace_back(id, factory_words(id));
        EXPECT_GE(topics.back().second.size(), 20u) << "topic " << id;
    }
    std::string index, data;
    worddict::write_pair(topics, index, data);
    EXPECT_TRUE(read_text(kData + "/dict1/worddict.idx") == index) << "run data/dict1/rebuild.sh";
    EXPECT_TRUE(read_text(kData + "/dict1/worddict.dat") == data) << "run data/dict1/rebuild.sh";
}

TEST(WordLists, CleanedSortedAndCheckedLineByLine) {
    std::vector<std::string> words;
    size_t bad = 0;
    ASSERT_TRUE(worddict::parse_list("# comment\n  Online   CASINO \r\npoker\n\npoker\n", words, &bad));
    EXPECT_EQ(words, (std::vector<std::string>{"online casino", "poker"}));
    EXPECT_FALSE(worddict::parse_list("poker\ncaf\xC3\xA9\n", words, &bad));
    EXPECT_EQ(bad, 2u);
    EXPECT_TRUE(words.empty());
    EXPECT_FALSE(worddict::parse_list(std::string(180, 'a'), words, &bad));
    EXPECT_TRUE(worddict::parse_list(std::string(179, 'a'), words, &bad));
}

// Damaged index files: each is refused whole.
TEST(WordDictionaryIndex, DamageOfAnyKindIsRefused) {
    std::string index, data;
    worddict::write_pair({{0, {"porn"}}, {3, {"poker", "casino"}}}, index, data);
    auto read = [&](const std::string& idx, size_t dataSize) {
        std::vector<worddict::Topic> topics;
        const bool ok = worddict::read_index(reinterpret_cast<const unsigned char*>(idx.data()), idx.size(), dataSize, topics);
        EXPECT_EQ(ok, !topics.empty());
        return ok;
    };
    ASSERT_TRUE(read(index, data.size()));
    // Re-seals a changed index with a correct checksum, to reach the checks behind it.
    auto sealed = [](std::string idx) {
        const uint32_t sum = worddict::checksum(reinterpret_cast<const unsigned char*>(idx.data()), idx.size() - 4);
        for (int i = 0; i < 4; ++i) idx[idx.size() - 4 + i] = static_cast<char>(sum >> (8 * i));
        return idx;
    };
    struct Case {
        const char* name;
        std::string idx;
        size_t dataSize;
    };
    std::string badMagic = index, badSum = index, bigCount = index, farBlock = index, hugeLength = index;
    badMagic[0] = 'X';
    badSum[20] ^= 1;
    bigCount[8] = 3;
    farBlock[16 + 4] = static_cast<char>(0xF0);  // offset of the first block
    hugeLength[16 + 8 + 3] = 0x7F;                // length of the first block
    const Case cases[] = {
        {"empty", "", data.size()},
        {"truncated", index.substr(0, index.size() - 1), data.size()},
        {"magic", sealed(badMagic), data.size()},
        {"checksum", badSum, data.size()},
        {"count_disagrees_with_size", sealed(bigCount), data.size()},
        {"data_file_of_another_size", index, data.size() + 1},
        {"block_past_the_data", sealed(farBlock), data.size()},
        {"block_length_past_the_data", sealed(hugeLength), data.size()},
    };
    for (const Case& c : cases) EXPECT_FALSE(read(c.idx, c.dataSize)) << c.name;
}

class TermscanInit : public ::testing::Test {
protected:
    void TearDown() override {
        lexs_closedbase();
        VTLogger_Free();
    }

    // The texts of the "WARNING" lines in the access log.
    std::vector<std::string> warnings() {
        std::vector<VTLogEntry> log(64);
        const int n = VTLogger_ReadEntries(0, log.data(), static_cast<int>(log.size()));
        std::vector<std::string> texts;
        for (int i = 0; i < n; ++i)
            if (std::string(log[i].kind) == "WARNING") texts.push_back(log[i].text);
        return texts;
    }

    void install_dictionary(const std::string& index, const std::string& data) {
        std::filesystem::create_directories(root.installed("db/dict1"));
        qf_test::write_bytes(root.installed("db/dict1/worddict.idx"), {index.begin(), index.end()});
        qf_test::write_bytes(root.installed("db/dict1/worddict.dat"), {data.begin(), data.end()});
    }
    void install_factory_dictionary() {
        install_dictionary(read_text(kData + "/dict1/worddict.idx"), read_text(kData + "/dict1/worddict.dat"));
    }
    void select_topics(std::initializer_list<int> ids) {
        TopicRecord record;
        ASSERT_EQ(vtlist_regen(&record), 1);
        for (int i = 0; i < record.count; ++i)
            record.entries[i].enabled = std::find(ids.begin(), ids.end(), record.entries[i].id) != ids.end();
        ASSERT_EQ(vtlist_write(&record), 1);
    }
    void insert(const std::string& key, int type) {
        char value[LEXS_VALUE_SIZE] = {0};
        ASSERT_EQ(lexs_insertdb(value, key.c_str(), type, -1), 1) << key;
    }

    // The six tables, each exactly its capacity, counts set to garbage that init must replace.
    struct Tables {
        Tables()
            : words(std::vector<std::string>{}, TERMSCAN_WORD_CAPACITY),
              topics(std::vector<std::string>{}, TERMSCAN_TOPIC_CAPACITY),
              phrases(std::vector<std::string>{}, TERMSCAN_PHRASE_CAPACITY),
              disallowed(std::vector<std::string>{}, TERMSCAN_SITE_CAPACITY),
              unchanged(std::vector<std::string>{}, TERMSCAN_SITE_CAPACITY),
              cleaning(std::vector<std::string>{}, TERMSCAN_SITE_CAPACITY) {
            for (termscan_test::Table* t : {&words, &topics, &phrases, &disallowed, &unchanged, &cleaning}) t->count = 77;
        }
        void init() {
            termscan_init(words.slots.get(), &words.count, topics.slots.get(), &topics.count, phrases.slots.get(),
                          &phrases.count, disallowed.slots.get(), &disallowed.count, unchanged.slots.get(),
                          &unchanged.count, cleaning.slots.get(), &cleaning.count);
        }
        termscan_test::Table words, topics, phrases, disallowed, unchanged, cleaning;
    };

    qf_test::StoreRoot root;
};

TEST_F(TermscanInit, FillsEachTableFromTheUsersListsAndTheSelectedTopics) {
    install_factory_dictionary();
    select_topics({0, 3});
    insert("*abcd", WildcardWord);
    insert("badword", Word);
    insert("bad phrase", Phrase);
    insert("badsite.com", BlockedSite);
    insert("goodsite.org", AllowedSite);
    insert("search.example", CleanedSearchSite);

    Tables t;
    t.init();
    EXPECT_EQ(entries(t.words.get(), t.words.count), (std::set<std::string>{"*abcd", "badword"}));
    EXPECT_EQ(entries(t.phrases.get(), t.phrases.count), (std::set<std::string>{"bad phrase"}));
    EXPECT_EQ(entries(t.disallowed.get(), t.disallowed.count), (std::set<std::string>{"badsite.com"}));
    EXPECT_EQ(entries(t.unchanged.get(), t.unchanged.count), (std::set<std::string>{"goodsite.org"}));
    EXPECT_EQ(entries(t.cleaning.get(), t.cleaning.count), (std::set<std::string>{"search.example"}));

    std::set<std::string> expected;
    for (int id : {0, 3})
        for (const std::string& w : factory_words(id)) expected.insert(w);
    EXPECT_EQ(entries(t.topics.get(), t.topics.count), expected);

    // The tables work as filled.
    EXPECT_EQ(termscan_test::count_topics(t.topics, "Online POKER and vodka", 0), 2u);  // "online poker", "poker"
    EXPECT_EQ(termscan_test::count_content(t.words, "wxyzabcd badword"), 2u);
    EXPECT_EQ(termscan_search_containsword("www.badsite.com", 15, t.disallowed.get(), t.disallowed.count),
              TERMSCAN_CONTAINED);
    EXPECT_TRUE(warnings().empty());
}

TEST_F(TermscanInit, WithoutATopicListTheFactorySelectionIsUsed) {
    install_factory_dictionary();
    Tables t;
    t.init();
    const auto porn = factory_words(0);
    EXPECT_EQ(entries(t.topics.get(), t.topics.count), std::set<std::string>(porn.begin(), porn.end()));
    EXPECT_TRUE(std::filesystem::exists(root.systemFile("ixplor64.dll")));
    for (termscan_test::Table* table : {&t.words, &t.phrases, &t.disallowed, &t.unchanged, &t.cleaning})
        EXPECT_EQ(table->count, 0);
    EXPECT_EQ(warnings(), std::vector<std::string>{
                              "Your topic settings have been tampered with. The default factory settings will be used."});
}

TEST_F(TermscanInit, NoDictionaryFilesLeaveTheTopicTableEmpty) {
    select_topics({0});
    insert("badword", Word);
    Tables t;
    t.init();
    EXPECT_EQ(t.topics.count, 0);
    EXPECT_EQ(t.words.count, 1);
    EXPECT_EQ(warnings(), std::vector<std::string>{"The filter topic word list is missing or damaged. Filter topics are "
                                                   "not applied until the filter is updated."});
}

TEST_F(TermscanInit, ADamagedIndexGivesNoTopicWordsAndADamagedBlockLosesOnlyItsTopic) {
    std::string index, data;
    worddict::write_pair({{0, {"porn", "xxx"}}, {3, {"poker"}}}, index, data);
    select_topics({0, 3});

    std::string badIndex = index;
    badIndex[9] ^= 0x40;
    install_dictionary(badIndex, data);
    Tables damagedIndex;
    damagedIndex.init();
    EXPECT_EQ(damagedIndex.topics.count, 0);
    EXPECT_EQ(warnings().size(), 1u);

    std::string badData = data;
    badData[9] = '\x01';  // inside topic 0's block
    install_dictionary(index, badData);
    Tables damagedBlock;
    damagedBlock.init();
    EXPECT_EQ(entries(damagedBlock.topics.get(), damagedBlock.topics.count), (std::set<std::string>{"poker"}));
    ASSERT_EQ(warnings().size(), 2u);
    EXPECT_EQ(warnings()[1],
              "The word list of filter topic 0 is missing or damaged. It is not applied until the filter is updated.");
}

TEST_F(TermscanInit, NeverMoreEntriesThanATableHolds) {
    std::vector<std::string> many;
    for (int i = 0; i < 5000; ++i) many.push_back("topic" + std::to_string(i));
    std::string index, data;
    worddict::write_pair({{0, many}, {1, {"extra"}}}, index, data);
    install_dictionary(index, data);
    select_topics({0, 1});
    for (int i = 0; i < TERMSCAN_SITE_CAPACITY + 5; ++i) insert("site" + std::to_string(i) + ".com", BlockedSite);

    Tables t;
    t.init();
    EXPECT_EQ(t.topics.count, TERMSCAN_TOPIC_CAPACITY);
    EXPECT_EQ(t.disallowed.count, TERMSCAN_SITE_CAPACITY);
    EXPECT_EQ(t.words.count, 0);
}

}  // namespace
