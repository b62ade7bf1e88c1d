// The word and site list dialogs against the dictionary of a seeded machine root: the list
// window of each list, the Insert dialog's messages and outcomes, the Update or edit dialog with
// its double confirmation of a delete, and the change markers of the Advanced settings window.
#include "configurator_test_support.h"

#include "advanced_dlg.h"
#include "change_markers.h"
#include "list_rules.h"
#include "list_update_dlg.h"
#include "list_window_dlg.h"
#include "resource.h"

#include <lexstore.h>

#include <gmock/gmock.h>

#include <filesystem>

namespace configurator_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// A list window that keeps its list box's lines as they were when it closed.
class ObservedListWindow : public CListWindowDlg {
public:
    using CListWindowDlg::CListWindowDlg;
    std::vector<std::string> lines;

protected:
    void OnOK() override {
        capture();
        CListWindowDlg::OnOK();
    }
    void OnCancel() override {
        capture();
        CListWindowDlg::OnCancel();
    }

private:
    void capture() {
        lines.clear();
        for (int i = 0; i < ListGetCount(IDC_LIST_ENTRIES); ++i) lines.push_back(ListGetText(IDC_LIST_ENTRIES, i));
    }
};

const char kInsertWindow[] = "window 147 \"Quillfence - Insert\"";
const char kUpdateWindow[] = "window 148 \"Quillfence - Update or edit\"";

std::string input_error(const std::string& text) {
    return "box 147 \"Input Error !\" \"" + text + "\" MB_OK|MB_ICONINFORMATION";
}

class ListDialogs : public ControlCenter {
protected:
    void TearDown() override {
        lexs_closedbase();
        ControlCenter::TearDown();
    }

    static void seed(const char* key, int type) {
        const char empty[LEXS_VALUE_SIZE] = {0};
        ASSERT_EQ(1, lexs_insertdb(empty, key, type, -1)) << key;
        lexs_closedbase();
    }
    static int stored_type(const std::string& key) {
        char value[LEXS_VALUE_SIZE] = {0};
        INT type = -1, aux = 0;
        const int found = lexs_retrievedb(value, key.c_str(), &type, &aux);
        lexs_closedbase();
        return found == 1 ? type : -1;
    }

    // The list window of kind, run from script; lines and changed flag as it closed.
    struct Run {
        Session session;
        std::vector<std::string> lines;
        int changed;
    };
    static Run run_list(int kind, const std::string& script) {
        ObservedListWindow window(kind);
        Session session = RunDialogWith(script, window);
        return Run{session, window.lines, window.m_changed};
    }
};

// Each shape of text, typed into the Insert dialog of each list: the messages in order, whether
// the dialog closed (and the entry is listed as typed and stored lower-cased with its type) or
// stayed open.
TEST_F(ListDialogs, InsertShowsTheRulesMessagesInOrderAndStoresWhatTheListTakes) {
    const std::string fifty(50, 'a');
    struct Case {
        int kind;
        std::string typed;
        std::vector<std::string> boxes;  // the message boxes, in order
        int type;                        // stored type, -1 when the dialog stays open
        std::string key;
    };
    const std::string format = input_error("Format Incorrect ");
    const Case cases[] = {
        {DisallowList, "word", {}, Word, "word"},
        {DisallowList, "BadSite.com", {}, BlockedSite, "badsite.com"},
        {DisallowList, "site.com/page", {}, BlockedSite, "site.com/page"},
        {DisallowList, "two words", {}, Phrase, "two words"},
        {DisallowList, "page/sub", {}, Phrase, "page/sub"},
        {DisallowList, "*abcd", {}, WildcardWord, "*abcd"},
        {DisallowList, "abcd*", {}, WildcardWord, "abcd*"},
        {DisallowList, "ab*", {input_error("Word to short for use with wildcards."), format}, -1, "ab*"},
        {DisallowList, "ab*cd",
         {input_error("Wildcards can only be used at the begining or end of the word.\\n."), format}, -1, "ab*cd"},
        {DisallowList, "*ab*",
         {input_error("To many wildcards.\\n Please use wildcards \\\"*\\\" as follows:\\n *word or word*."), format},
         -1, "*ab*"},
        {DisallowList, "ab *cd", {format}, -1, "ab *cd"},
        {DisallowList, fifty, {}, Word, std::string(45, 'a')},  // the field takes 45 characters
        {AllowUnchangedList, "Example.com", {}, AllowedSite, "example.com"},
        {AllowUnchangedList, "intranet", {}, AllowedSite, "intranet"},
        {AllowUnchangedList, "page/sub", {format}, -1, "page/sub"},
        {AllowUnchangedList, "*abcd", {format}, -1, "*abcd"},
        {AllowUnchangedList, "ab *cd", {format}, -1, "ab *cd"},
        {SearchEngineList, "Search.com", {}, CleanedSearchSite, "search.com"},
        {SearchEngineList, "engine", {}, CleanedSearchSite, "engine"},
        {SearchEngineList, "page/sub", {}, CleanedSearchSite, "page/sub"},
        {SearchEngineList, "two words", {format}, -1, "two words"},
        {SearchEngineList, "ab *cd", {format}, -1, "ab *cd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + c.typed);
        std::string script = "click 1124\ntype 1127 " + c.typed + "\nenter\n";
        for (size_t i = 0; i < c.boxes.size(); ++i) script += "answer IDOK\n";
        const bool closes = c.type >= 0;
        if (!closes) script += "expect-window 147\nescape\n";
        Run run = run_list(c.kind, script + "click 1\n");
        EXPECT_EQ("", run.session.failure);

        std::vector<std::string> shown = {"window 146 \"\"", kInsertWindow};
        for (const std::string& box : c.boxes) {
            shown.push_back(box);
            shown.push_back("answer IDOK");
        }
        shown.push_back(closes ? "end 147 IDOK" : "end 147 IDCANCEL");
        shown.push_back("end 146 IDOK");
        EXPECT_THAT(run.session.shown, ElementsAreArray(shown));

        EXPECT_EQ(c.type, stored_type(c.key));
        const std::string listed = c.typed.substr(0, kListEntryMaxLength);
        EXPECT_EQ(closes ? std::vector<std::string>{listed} : std::vector<std::string>{}, run.lines);
        EXPECT_EQ(closes ? 1 : 0, run.changed);

        if (closes) {
            const char empty[LEXS_VALUE_SIZE] = {0};
            EXPECT_EQ(1, lexs_deletekey(empty, c.key.c_str()));
            lexs_closedbase();
        }
    }
}

TEST_F(ListDialogs, InsertWithAnEmptyFieldDoesNothingAndADuplicateInAnyListIsRefused) {
    seed("badsite.com", BlockedSite);
    Run run = run_list(SearchEngineList,
                       "click 1124\nenter\nexpect-window 147\ntype 1127 BadSite.COM\nenter\nanswer IDOK\n"
                       "expect-window 147\nescape\nclick 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.session.shown,
                ElementsAre("window 146 \"\"", kInsertWindow,
                            "box 147 \"Duplicate Input - Error !    \" \"BadSite.COM has already been inserted. \" "
                            "MB_OK|MB_ICONINFORMATION",
                            "answer IDOK", "end 147 IDCANCEL", "end 146 IDOK"));
    EXPECT_THAT(run.lines, IsEmpty()) << "the disallowed site is not in the search engine list";
    EXPECT_EQ(BlockedSite, stored_type("badsite.com"));
    EXPECT_EQ(0, run.changed);
}

// Each window: its texts, its Insert and Update dialogs' heading and label, and only its own
// list's entries, sorted.
TEST_F(ListDialogs, EachWindowShowsItsOwnTextsAndOnlyItsOwnEntries) {
    seed("zebra", Word);
    seed("*abcd", WildcardWord);
    seed("badsite.com", BlockedSite);
    seed("a phrase", Phrase);
    seed("allowed.com", AllowedSite);
    seed("kids.org", AllowedSite);
    seed("search.com", CleanedSearchSite);
    struct Case {
        int kind;
        const char* caption;
        const char* hint;
        const char* insertHeading;
        const char* insertLabel;
        const char* updateHeading;
        const char* updateLabel;
        std::vector<std::string> lines;
    } cases[] = {
        {DisallowList, "Disallow words, phrases and sites (blocking)", "Double click on word to edit, modify or delete",
         "Insert a word, phrase or site to be disallowed", "Word, phrase or site",
         "Update or edit a word, phrase or site that is disallowed", "Word, phrase or site",
         {"*abcd", "a phrase", "badsite.com", "zebra"}},
        {AllowUnchangedList, "Allow sites (leave unchanged)", "Double click on site to edit, modify or delete",
         "Insert a site to allow through unchanged", "Site", "Update or edit site that is allowed unchanged", "Site",
         {"allowed.com", "kids.org"}},
        {SearchEngineList, "Allow search engines  (always apply cleaning)",
         "Double click on site to edit, modify or delete", "Allow this search engine site with cleaning applied",
         "Search engine", "Update or edit a search engine site that is allowed", "Search Engine", {"search.com"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        Run run = run_list(c.kind, std::string("expect-text 0 ") + c.caption + "\nexpect-text 1123 " + c.hint +
                                       "\nclick 1124\nexpect-text 1125 " + c.insertHeading + "\nexpect-text 1126 " +
                                       c.insertLabel + "\nescape\ndblclick 1122 0\nexpect-text 1125 " +
                                       c.updateHeading + "\nexpect-text 1126 " + c.updateLabel +
                                       "\nexpect-text 1127 " + c.lines[0] + "\nescape\nclick 1\n");
        EXPECT_EQ("", run.session.failure);
        EXPECT_THAT(run.lines, ElementsAreArray(c.lines));
        EXPECT_EQ(0, run.changed) << "Cancel changes nothing";
    }
}

TEST_F(ListDialogs, ADictionaryThatCannotBeOpenedLeavesTheListEmptyWithoutAMessage) {
    seed("badsite.com", BlockedSite);
    const std::string database = root_.file("drive_c/Program Files/Quillfence/db/lexstore.db");
    std::filesystem::remove(database);
    std::filesystem::create_directories(database);
    Run run = run_list(DisallowList, "click 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.session.shown, ElementsAre("window 146 \"\"", "end 146 IDOK"));
    EXPECT_THAT(run.lines, IsEmpty());
}

TEST_F(ListDialogs, UpdateReplacesTheEntryOrStaysOpenOnATextTheListRefuses) {
    seed("badword", Word);
    Run run = run_list(DisallowList,
                       "dblclick 1122 0\nexpect-text 1127 badword\ntype 1127 ab*\nenter\nanswer IDOK\nanswer IDOK\n"
                       "expect-window 148\ntype 1127 Worse Word\nenter\nclick 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.session.shown,
                ElementsAre("window 146 \"\"", kUpdateWindow,
                            "box 148 \"Input Error !\" \"Word to short for use with wildcards.\" MB_OK|MB_ICONINFORMATION",
                            "answer IDOK", "box 148 \"Input Error !\" \"Format Incorrect\" MB_OK|MB_ICONINFORMATION",
                            "answer IDOK", "end 148 IDOK", "end 146 IDOK"));
    EXPECT_THAT(run.lines, ElementsAre("Worse Word"));
    EXPECT_EQ(-1, stored_type("badword"));
    EXPECT_EQ(Phrase, stored_type("worse word"));
    EXPECT_EQ(1, run.changed);
}

TEST_F(ListDialogs, UpdateWithTheTextUnchangedClosesButTheWindowReportsAChange) {
    seed("badword", Word);
    Run run = run_list(DisallowList, "dblclick 1122 0\nenter\nclick 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.session.shown, ElementsAre("window 146 \"\"", kUpdateWindow, "end 148 IDOK", "end 146 IDOK"));
    EXPECT_THAT(run.lines, ElementsAre("badword"));
    EXPECT_EQ(Word, stored_type("badword"));
    EXPECT_EQ(1, run.changed);
}

// The new text is another entry already: it cannot be stored, the old entry is put back with its
// type, and both stay listed.
TEST_F(ListDialogs, UpdateToAnExistingEntryLosesNothing) {
    seed("*abcd", WildcardWord);
    seed("other", Word);
    Run run = run_list(DisallowList, "dblclick 1122 0\ntype 1127 other\nenter\nclick 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.lines, ElementsAre("*abcd", "other"));
    EXPECT_EQ(WildcardWord, stored_type("*abcd"));
    EXPECT_EQ(Word, stored_type("other"));
    EXPECT_EQ(1, run.changed);
}

// The entry removed from the list is the first from the top that begins with the old text,
// without regard to case: the list sorts without regard to case, so that is the one clicked.
TEST_F(ListDialogs, UpdateRemovesTheLineThatWasDoubleClicked) {
    seed("bad", Word);
    Run run = run_list(DisallowList,
                       "click 1124\ntype 1127 BADSITE.COM\nenter\ndblclick 1122 0\nexpect-text 1127 bad\n"
                       "type 1127 good\nenter\nclick 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.lines, ElementsAre("BADSITE.COM", "good"));
    EXPECT_EQ(-1, stored_type("bad"));
    EXPECT_EQ(Word, stored_type("good"));
    EXPECT_EQ(BlockedSite, stored_type("badsite.com"));
}

// Delete asks twice, No the default each time; only Yes to both deletes.
TEST_F(ListDialogs, DeleteNeedsYesToBothQuestions) {
    seed("badsite.com", BlockedSite);
    const std::string first =
        "box 148 \"Delete From Dictionary\" \"Delete badsite.com from Dictionary ? \\nPlease confirm ?\" "
        "MB_YESNO|MB_DEFBUTTON2";
    const std::string second =
        "box 148 \"Delete From Dictionary\" \"badsite.com will be deleted from the dictionary. \\nPlease confirm ?\" "
        "MB_YESNO|MB_DEFBUTTON2";
    Run run = run_list(DisallowList,
                       "dblclick 1122 0\nclick 1128\nanswer IDNO\nexpect-window 148\nclick 1128\nanswer IDYES\n"
                       "answer IDNO\nexpect-window 148\nclick 1128\nanswer IDYES\nanswer IDYES\nclick 1\n");
    EXPECT_EQ("", run.session.failure);
    EXPECT_THAT(run.session.shown,
                ElementsAre("window 146 \"\"", kUpdateWindow, first, "answer IDNO", first, "answer IDYES", second,
                            "answer IDNO", first, "answer IDYES", second, "answer IDYES", "end 148 IDOK",
                            "end 146 IDOK"));
    EXPECT_THAT(run.lines, IsEmpty());
    EXPECT_EQ(-1, stored_type("badsite.com"));
    EXPECT_EQ(1, run.changed);
}

// An entry the dictionary does not hold: reported when the dialog opens; Delete cannot delete it
// and the dialog stays open.
TEST_F(ListDialogs, AnEntryMissingFromTheDictionaryIsReportedAndCannotBeDeleted) {
    CListUpdateDlg update(DisallowList, "ghost", "Update or edit a word, phrase or site that is disallowed",
                          "Word, phrase or site");
    Session session =
        RunDialogWith("answer IDOK\nexpect-text 1127 ghost\nclick 1128\nanswer IDYES\nanswer IDYES\n"
                      "expect-window 148\nescape\n",
                      update);
    EXPECT_EQ("", session.failure);
    ASSERT_GE(session.shown.size(), 2u);
    EXPECT_EQ("box 148 \"Retrieve Error !!!\" \"ghost cannot be found in DB\" MB_OK", session.shown[1]);
    EXPECT_EQ("end 148 IDCANCEL", session.shown.back());
    EXPECT_EQ(UpdateNothingChanged, update.m_outcome);
}

// Each list's button in the Advanced settings window: its change marker is set when the window
// changed something, however it was closed, and not otherwise.
TEST_F(ListDialogs, TheAdvancedSettingsButtonsMarkAChangeOnlyWhenTheListChanged) {
    struct Case {
        int button;
        const char* typed;
        int kind;
        int type;
    } cases[] = {
        {IDC_DISALLOW_LIST, "word", DisallowList, Word},
        {IDC_ALLOW_SITES, "kids.org", AllowUnchangedList, AllowedSite},
        {IDC_SEARCH_ENGINES, "search.com", SearchEngineList, CleanedSearchSite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ClearChangeMarkers();
        const std::string open = "click " + std::to_string(c.button) + "\nexpect-window 146\n";
        Session unchanged = RunDialog<CAdvancedDlg>(open + "click 1124\nescape\nclick 1\nclick 1107\n");
        EXPECT_EQ("", unchanged.failure);
        EXPECT_FALSE(AnyChangeMarker());

        Session changed = RunDialog<CAdvancedDlg>(open + "click 1124\ntype 1127 " + c.typed +
                                                  "\nenter\nescape\nescape\n");
        EXPECT_EQ("", changed.failure);
        EXPECT_TRUE(AnyChangeMarker());
        EXPECT_EQ(c.type, stored_type(c.typed));
    }
}

}  // namespace
}  // namespace configurator_test
