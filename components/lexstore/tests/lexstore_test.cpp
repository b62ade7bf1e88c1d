#include "lexstore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "held_database.h"
#include "store_root.h"

namespace {

struct Batch {
    int result;
    INT last, state;
    std::vector<LexRecord> records;
};

class DictionaryTest : public ::testing::Test {
protected:
    void TearDown() override { lexs_closedbase(); }

    // Enumerates as the list dialogs do: zero entries 0 to 50, call, take 0 to last (skipping empty
    // keys), stop on a result other than 1 or when state becomes -100.
    std::vector<Batch> enumerate(const std::function<void(int)>& betweenCalls = nullptr) {
        std::vector<Batch> batches;
        LexRecord records[LEXS_BATCH];
        INT last = 0, state = 0, aux = 0;
        for (int call = 0; call < 1000; ++call) {
            memset(records, 0, sizeof(records));
            last = 0;
            Batch batch;
            batch.result = lexs_readallkeys(records, &last, &state, &aux);
            batch.last = last;
            batch.state = state;
            if (batch.result == 1)
                for (INT i = 0; i <= last && i < LEXS_BATCH; ++i)
                    if (records[i].key[0]) batch.records.push_back(records[i]);
            batches.push_back(batch);
            if (batch.result != 1 || state == LEXS_STATE_END) break;
            if (betweenCalls) betweenCalls(call);
        }
        return batches;
    }

    static std::string key_for(int i) { return "key" + std::to_string(1000 + i); }

    qf_test::StoreRoot root;
};

TEST_F(DictionaryTest, BatchesHoldUpTo51EntriesAndEndWithState100) {
    struct Case {
        int entries;
        std::vector<INT> lasts;  // last of each call
    };
    const Case cases[] = {
        {0, {-1}}, {1, {0}}, {51, {50}}, {52, {50, 0}}, {120, {50, 50, 17}},
    };
    for (const Case& c : cases) {
        lexs_closedbase();
        qf_test::StoreRoot fresh;  // an empty dictionary for each case
        ASSERT_EQ(1, lexs_openit());
        for (int i = 0; i < c.entries; ++i) ASSERT_EQ(1, lexs_insertdb("", key_for(i).c_str(), i % 6, i));

        std::vector<Batch> batches = enumerate();
        ASSERT_EQ(c.lasts.size(), batches.size()) << c.entries << " entries";
        std::map<std::string, LexRecord> seen;
        for (size_t b = 0; b < batches.size(); ++b) {
            EXPECT_EQ(1, batches[b].result);
            EXPECT_EQ(c.lasts[b], batches[b].last) << c.entries << " entries, call " << b;
            EXPECT_EQ(b + 1 == batches.size(), batches[b].state == LEXS_STATE_END) << c.entries << " entries, call " << b;
            for (const LexRecord& record : batches[b].records)
                EXPECT_TRUE(seen.emplace(record.key, record).second) << "handed out twice: " << record.key;
        }
        ASSERT_EQ((size_t)c.entries, seen.size());
        for (int i = 0; i < c.entries; ++i) {
            const LexRecord& record = seen.at(key_for(i));
            EXPECT_EQ(i % 6, record.type);
            EXPECT_EQ(i, record.aux);
        }

        LexRecord records[LEXS_BATCH];
        INT last = 7, state = LEXS_STATE_END, aux = 0;
        EXPECT_NE(1, lexs_readallkeys(records, &last, &state, &aux)) << "a call after the end";
    }
}

TEST_F(DictionaryTest, EnumerationSurvivesChangesBetweenBatches) {
    for (int i = 0; i < 120; ++i) ASSERT_EQ(1, lexs_insertdb("", key_for(i).c_str(), Word, -1));
    // After the first batch: delete a key already handed out and one not yet, add a new one.
    std::vector<Batch> batches = enumerate([&](int call) {
        if (call != 0) return;
        ASSERT_EQ(1, lexs_deletekey("", key_for(3).c_str()));
        ASSERT_EQ(1, lexs_deletekey("", key_for(100).c_str()));
        ASSERT_EQ(1, lexs_insertdb("", "newcomer", Phrase, -1));
    });
    std::map<std::string, int> seen;
    for (const Batch& batch : batches)
        for (const LexRecord& record : batch.records) ++seen[record.key];
    for (int i = 0; i < 120; ++i) {
        if (i == 100) continue;
        EXPECT_EQ(1, seen[key_for(i)]) << key_for(i);
    }
    EXPECT_EQ(0, seen.count(key_for(100)));
    EXPECT_EQ(1, seen["newcomer"]);
}

TEST_F(DictionaryTest, KeysAreUniqueAcrossListsWithoutRegardToCase) {
    ASSERT_EQ(1, lexs_insertdb("", "badsite.com", BlockedSite, -1));
    EXPECT_EQ(0, lexs_insertdb("", "BadSite.com", CleanedSearchSite, -1)) << "same key in another list";
    EXPECT_EQ(0, lexs_insertdb("", "badsite.com", AllowedSite, -1));

    char value[LEXS_VALUE_SIZE] = {0};
    INT type = -7, aux = 0;
    ASSERT_EQ(1, lexs_retrievedb(value, "BADSITE.COM", &type, &aux));
    EXPECT_EQ(BlockedSite, type);
    EXPECT_EQ(-1, aux);
    EXPECT_STREQ("", value);

    EXPECT_EQ(1, lexs_deletekey("", "BadSite.Com"));
    EXPECT_EQ(0, lexs_retrievedb(value, "badsite.com", &type, &aux));
    EXPECT_EQ(0, lexs_deletekey("", "badsite.com")) << "nothing left to delete";
    EXPECT_EQ(1, lexs_insertdb("", "BadSite.com", CleanedSearchSite, -1)) << "free again once deleted";
}

TEST_F(DictionaryTest, TooLongKeysAndBadInputAreRefusedNotCut) {
    const std::string longest(47, 'k');
    const std::string tooLong(48, 'k');
    ASSERT_EQ(1, lexs_insertdb("", longest.c_str(), Word, -1));
    EXPECT_EQ(0, lexs_insertdb("", tooLong.c_str(), Word, -1));
    EXPECT_EQ(0, lexs_retrievedb(NULL, tooLong.c_str(), NULL, NULL)) << "not found under its first 47 characters";
    EXPECT_EQ(0, lexs_deletekey("", tooLong.c_str()));
    EXPECT_EQ(0, lexs_insertdb("", "", Word, -1));
    EXPECT_EQ(0, lexs_insertdb("", NULL, Word, -1));
    EXPECT_EQ(0, lexs_insertdb("", "sometype", 6, -1));
    EXPECT_EQ(0, lexs_insertdb("", "sometype", -1, -1));
    EXPECT_EQ(0, lexs_insertdb(std::string(45, 'v').c_str(), "longvalue", Word, -1));

    // The longest key comes back whole in its 48-byte field.
    std::vector<Batch> batches = enumerate();
    ASSERT_EQ(1u, batches.size());
    ASSERT_EQ(1u, batches[0].records.size());
    EXPECT_EQ(longest, std::string(batches[0].records[0].key));

    // A stored value fills at most the 45 bytes of the caller's buffer.
    const std::string value(44, 'v');
    ASSERT_EQ(1, lexs_insertdb(value.c_str(), "withvalue", Word, 9));
    char buffer[LEXS_VALUE_SIZE + 8];
    memset(buffer, '#', sizeof(buffer));
    ASSERT_EQ(1, lexs_retrievedb(buffer, "withvalue", NULL, NULL));
    EXPECT_EQ(value, std::string(buffer));
    for (size_t i = LEXS_VALUE_SIZE; i < sizeof(buffer); ++i) EXPECT_EQ('#', buffer[i]);
}

TEST_F(DictionaryTest, TwoProcessesInsertingAtOnceLoseNothing) {
    const int perProcess = 150;
    int results[2] = {-1, -1};
    std::vector<std::thread> children;
    for (int c = 0; c < 2; ++c)
        children.emplace_back([&, c] {
            std::string command =
                std::string("\"") + LEXSTORE_CHILD + "\" proc" + std::to_string(c) + " " + std::to_string(perProcess);
            results[c] = qf_test::run_program(command);
        });
    for (int i = 0; i < perProcess; ++i) EXPECT_EQ(1, lexs_insertdb("", ("self-" + std::to_string(i)).c_str(), Word, -1));
    for (std::thread& child : children) child.join();
    EXPECT_EQ(0, results[0]);
    EXPECT_EQ(0, results[1]);

    size_t total = 0;
    for (const Batch& batch : enumerate()) total += batch.records.size();
    EXPECT_EQ((size_t)perProcess * 3, total);
    for (const char* tag : {"proc0", "proc1", "self"})
        for (int i = 0; i < perProcess; i += 37)
            EXPECT_EQ(1, lexs_retrievedb(NULL, (std::string(tag) + "-" + std::to_string(i)).c_str(), NULL, NULL));
}

TEST_F(DictionaryTest, WorksWithoutOpenAndAfterClose) {
    ASSERT_EQ(1, lexs_insertdb("", "word", Word, -1));
    ASSERT_EQ(1, lexs_closedbase());
    EXPECT_EQ(1, lexs_retrievedb(NULL, "word", NULL, NULL));
    EXPECT_EQ(1, lexs_openit());
    EXPECT_EQ(1, lexs_openit()) << "opening twice is harmless";
    EXPECT_EQ(1, lexs_retrievedb(NULL, "WORD", NULL, NULL));
}

}  // namespace
