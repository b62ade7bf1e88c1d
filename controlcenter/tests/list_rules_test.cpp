// The list dialogs' decisions against the dictionary of a seeded machine root.
#include "installer_test_support.h"

#include <list_rules.h>

#include <lexstore.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace installer_test {
namespace {

const char kFormat[] = "Format Incorrect ";
const char kTooMany[] = "To many wildcards.\n Please use wildcards \"*\" as follows:\n *word or word*.";
const char kTooShort[] = "Word to short for use with wildcards.";
const char kMiddle[] = "Wildcards can only be used at the begining or end of the word.\n.";

class ListRules : public SeededMachine {
protected:
    void SetUp() override {
        SeededMachine::SetUp();
        ASSERT_EQ(1, lexs_openit());
    }
    void TearDown() override { lexs_closedbase(); }

    static int stored_type(const char* key) {
        char value[LEXS_VALUE_SIZE] = {0};
        INT type = -1, aux = 0;
        return lexs_retrievedb(value, key, &type, &aux) == 1 ? type : -1;
    }
    static bool listed(int kind, const std::string& text) {
        const std::vector<std::string> all = ReadListEntries(kind);
        return std::find(all.begin(), all.end(), text) != all.end();
    }
};

TEST_F(ListRules, ClassifiesEveryShapeOfTextInEachList) {
    struct Case {
        const char* text;
        int disallow, allow, search;  // type, or -1 when refused
        const char* disallowMessage;  // the wildcard rule's message in the disallow list, if any
    };
    const Case cases[] = {
        {"word", 1, 3, 4, nullptr},
        {"BadSite.com", 2, 3, 4, nullptr},
        {"site.com/page", 2, 3, 4, nullptr},
        {"page/sub", 5, -1, 4, nullptr},
        {"two words", 5, -1, -1, nullptr},
        {"two words.com", 5, -1, -1, nullptr},
        {"*abcd", 0, -1, -1, nullptr},
        {"abcd*", 0, -1, -1, nullptr},
        {"*ab.c", 0, -1, -1, nullptr},
        {"ab*", -1, -1, -1, kTooShort},
        {"*abc", -1, -1, -1, kTooShort},
        {"ab*cd", -1, -1, -1, kMiddle},
        {"*ab*", -1, -1, -1, kTooMany},
        {"*abcdef*", -1, -1, -1, kTooMany},
        {"ab *cd", -1, -1, -1, nullptr},
        {"*abcd/x", 0, -1, -1, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<ListMessage> messages;
        EXPECT_EQ(c.disallow, ClassifyListEntry(DisallowList, c.text, &messages)) << c.text;
        if (c.disallowMessage) {
            ASSERT_EQ(1u, messages.size()) << c.text;
            EXPECT_EQ(c.disallowMessage, messages[0].text);
            EXPECT_STREQ("Input Error !", messages[0].caption);
            EXPECT_TRUE(messages[0].information);
        } else {
            EXPECT_TRUE(messages.empty()) << c.text;
        }
        EXPECT_EQ(c.allow, ClassifyListEntry(AllowUnchangedList, c.text, &messages)) << c.text;
        EXPECT_EQ(c.search, ClassifyListEntry(SearchEngineList, c.text, &messages)) << c.text;
    }
}

TEST_F(ListRules, InsertStoresTheKeyLowerCasedAndRefusesDuplicatesAcrossTheLists) {
    std::vector<ListMessage> messages;
    EXPECT_TRUE(InsertListEntry(DisallowList, "BadSite.com", &messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(BlockedSite, stored_type("badsite.com"));
    EXPECT_TRUE(listed(DisallowList, "badsite.com"));
    EXPECT_FALSE(listed(AllowUnchangedList, "badsite.com"));

    EXPECT_FALSE(InsertListEntry(SearchEngineList, "BADSITE.com", &messages));
    ASSERT_EQ(1u, messages.size());
    EXPECT_STREQ("Duplicate Input - Error !    ", messages[0].caption);
    EXPECT_EQ("BADSITE.com has already been inserted. ", messages[0].text);
    EXPECT_EQ(BlockedSite, stored_type("badsite.com"));

    messages.clear();
    EXPECT_FALSE(InsertListEntry(DisallowList, "", &messages));
    EXPECT_TRUE(messages.empty()) << "an empty input does nothing";
}

TEST_F(ListRules, ARefusedInsertShowsTheWildcardMessageThenFormatIncorrect) {
    std::vector<ListMessage> messages;
    EXPECT_FALSE(InsertListEntry(DisallowList, "ab*", &messages));
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(kTooShort, messages[0].text);
    EXPECT_EQ(kFormat, messages[1].text);

    messages.clear();
    EXPECT_FALSE(InsertListEntry(AllowUnchangedList, "a b", &messages));
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(kFormat, messages[0].text);
    EXPECT_EQ(-1, stored_type("a b"));
}

TEST_F(ListRules, UpdateReplacesTheEntryOrLeavesItWhenNothingChanged) {
    ASSERT_TRUE(InsertListEntry(DisallowList, "badword", nullptr));
    int outcome = -1;
    std::vector<ListMessage> messages;
    EXPECT_TRUE(UpdateDialogShown("badword").empty());
    EXPECT_TRUE(UpdateListEntry(DisallowList, "badword", "badword", &outcome, &messages));
    EXPECT_EQ(UpdateNothingChanged, outcome);

    EXPECT_FALSE(UpdateListEntry(DisallowList, "badword", "a *b", &outcome, &messages));
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ("Format Incorrect", messages[0].text);
    EXPECT_EQ(Word, stored_type("badword"));

    EXPECT_TRUE(UpdateListEntry(DisallowList, "badword", "Bad Phrase", &outcome, &messages));
    EXPECT_EQ(UpdateUpdated, outcome);
    EXPECT_EQ(-1, stored_type("badword"));
    EXPECT_EQ(Phrase, stored_type("bad phrase"));

    const std::vector<ListMessage> missing = UpdateDialogShown("nowhere");
    ASSERT_EQ(1u, missing.size());
    EXPECT_STREQ("Retrieve Error !!!", missing[0].caption);
    EXPECT_EQ("nowhere cannot be found in DB", missing[0].text);
    EXPECT_FALSE(missing[0].information);
}

// The new text is already another entry: it cannot be stored, and the old entry is put back with
// its type instead of being lost.
TEST_F(ListRules, AnUpdateWhoseNewEntryCannotBeStoredPutsTheOldOneBack) {
    ASSERT_TRUE(InsertListEntry(AllowUnchangedList, "school.org", nullptr));
    ASSERT_TRUE(InsertListEntry(DisallowList, "games.com", nullptr));
    int outcome = -1;
    EXPECT_TRUE(UpdateListEntry(AllowUnchangedList, "school.org", "games.com", &outcome, nullptr));
    EXPECT_EQ(UpdateNothingChanged, outcome);
    EXPECT_EQ(AllowedSite, stored_type("school.org"));
    EXPECT_EQ(BlockedSite, stored_type("games.com"));
}

TEST_F(ListRules, DeleteAsksTwiceAndRemovesTheEntry) {
    ASSERT_TRUE(InsertListEntry(SearchEngineList, "search.test", nullptr));
    EXPECT_EQ("Delete search.test from Dictionary ? \nPlease confirm ?", DeleteFirstQuestion("search.test"));
    EXPECT_EQ("search.test will be deleted from the dictionary. \nPlease confirm ?", DeleteSecondQuestion("search.test"));
    EXPECT_TRUE(DeleteListEntry("search.test"));
    EXPECT_FALSE(listed(SearchEngineList, "search.test"));
    EXPECT_FALSE(DeleteListEntry("search.test"));
}

}  // namespace
}  // namespace installer_test
