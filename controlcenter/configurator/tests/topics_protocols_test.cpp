// The Filter topics and Protocol blocking dialogs against the stores of a seeded machine root:
// the check list as stored, Done, Cancel, the factory reset, the recovery of a store that cannot
// be read, a write that fails, context help and the Advanced settings window's change markers.
#include "configurator_test_support.h"

#include "advanced_dlg.h"
#include "change_markers.h"
#include "protocols_dlg.h"
#include "resource.h"
#include "topics_dlg.h"

#include <dlg_backend.h>

#include <VTList.h>
#include <vtfw.h>

#include <gmock/gmock.h>

#include <string.h>

#include <filesystem>
#include <fstream>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// A check list dialog that keeps its lines ("[x]" or "[ ]" and the text) and its reset box as
// they were when Done or Cancel was last pressed.
template <typename Dialog, int kList, int kReset>
class Observed : public Dialog {
public:
    std::vector<std::string> lines;
    UINT resetBox = BST_UNCHECKED;

protected:
    void OnOK() override {
        capture();
        Dialog::OnOK();
    }
    void OnCancel() override {
        capture();
        Dialog::OnCancel();
    }

private:
    void capture() {
        lines.clear();
        for (int i = 0; i < this->ListGetCount(kList); ++i)
            lines.push_back((this->ListGetCheck(kList, i) == 1 ? "[x]" : "[ ]") + this->ListGetText(kList, i));
        resetBox = this->IsDlgButtonChecked(kReset);
    }
};

using ObservedTopics = Observed<CTopicsDlg, IDC_TOPIC_LIST, IDC_TOPICS_FACTORY>;
using ObservedProtocols = Observed<CProtocolsDlg, IDC_PROTOCOL_LIST, IDC_PROTOCOLS_FACTORY>;

const std::vector<std::string> kFactoryTopicLines = {
    "[x]  Pornography", "[ ]  Violence and Weapons", "[ ]  Hate and Intolerance", "[ ]  Gambling",
    "[ ]  Drugs and Alcohol", "[ ]  Satanism", "[ ]  Hacking", "[ ]  Suicide"};
const std::vector<std::string> kFactoryProtocolLines = {
    "[ ]  World Wide Web (HTTP)", "[ ]  Electronic mail (e-mail)", "[ ]  News (NNTP)", "[ ]  Chat (IRC)",
    "[ ]  File transfer (FTP)", "[ ]  Telnet", "[ ]  Secure sockets (SSL)"};

const char kTopicsWindow[] = "window 145 \"Quillfence - Filter topics\"";
const char kProtocolsWindow[] = "window 161 \"Quillfence - Block web, e-mail, chat, etc.\"";
const char kTopicsReadError[] =
    "box 145 \"Error - Detected on current topic settings\" \"An error occurred while retrieving your current topic "
    "settings.\\nThis will now default to the original factory settings.\" MB_OK|MB_ICONSTOP";
const char kProtocolsReadError[] =
    "box 161 \"Error - Detected on current settings\" \"An error occurred while retrieving your disallowed protocol "
    "settings.\\nThis will now default to the original factory settings.\" MB_OK|MB_ICONSTOP";
const char kTopicsReset[] =
    "box 145 \"Reset original factory settings\" \"You have selected to override your current topic settings.\\nThis "
    "will now default to the original factory settings.\\nAre you sure ?\" MB_YESNO|MB_DEFBUTTON2";
const char kProtocolsReset[] =
    "box 161 \"Reset original factory settings\" \"You have selected to override your current settings.\\nThis will "
    "now default to the original factory settings.\\nAre you sure ?\" MB_YESNO|MB_DEFBUTTON2";
const char kTopicsTampered[] =
    "WARNING Your topic settings have been tampered with. The default factory settings will be used.";
const char kProtocolsTampered[] =
    "WARNING Your disallowed protocol settings have been tampered with. The default factory settings will be used.";

class CheckListDialogs : public ControlCenter {
protected:
    void TearDown() override {
        DlgSetRecordListener(nullptr);
        ControlCenter::TearDown();
    }

    std::string topic_file() const { return root_.file("drive_c/WINDOWS/SYSTEM32/ixplor64.dll"); }
    std::string rule_file() const { return root_.file("drive_c/Program Files/Quillfence/db/fw.dat"); }

    static void set_read_only(const std::string& path, bool readOnly) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     readOnly ? std::filesystem::perm_options::remove
                                              : std::filesystem::perm_options::add);
    }

    // Topics named as given, flags as given, count as given (entries past the names unnamed).
    static void store_topics(int count, const std::vector<std::pair<std::string, int>>& topics) {
        TopicRecord record;
        vtlist_init(&record);
        record.count = count;
        for (size_t i = 0; i < topics.size(); ++i) {
            record.entries[i].id = static_cast<INT>(i);
            strncpy(record.entries[i].name, topics[i].first.c_str(), VTLIST_NAME_SIZE - 1);
            record.entries[i].enabled = topics[i].second;
        }
        ASSERT_EQ(1, vtlist_write(&record));
    }
    static TopicRecord stored_topics() {
        TopicRecord record;
        vtlist_init(&record);
        EXPECT_EQ(1, vtlist_read(&record));
        return record;
    }
    static ProtocolRuleTable stored_rules() {
        ProtocolRuleTable table;
        vtfw_init(&table);
        EXPECT_EQ(1, vtfw_read(&table));
        return table;
    }
};

TEST_F(CheckListDialogs, TopicsAreListedInStoreOrderIndentedAndTickedOnlyWhenTheirFlagIsOne) {
    ObservedTopics factory;
    Session session = RunDialogWith("escape\n", factory);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre(kTopicsWindow, "end 145 IDCANCEL"));
    EXPECT_THAT(factory.lines, ElementsAreArray(kFactoryTopicLines));

    store_topics(3, {{"Gambling", 1}, {"Hacking", 2}, {"Satanism", 0}});
    ObservedTopics stored;
    RunDialogWith("escape\n", stored);
    EXPECT_THAT(stored.lines, ElementsAre("[x]  Gambling", "[ ]  Hacking", "[ ]  Satanism"));
}

// A tampered count never reaches past the twentieth entry.
TEST_F(CheckListDialogs, ATopicCountPastTheRecordShowsAndStoresTwentyTopics) {
    std::vector<std::pair<std::string, int>> topics;
    for (int i = 0; i < VTLIST_ENTRIES; ++i) topics.push_back({"Topic " + std::to_string(i), i % 2});
    store_topics(50, topics);
    ObservedTopics dialog;
    Session session = RunDialogWith("check 1118 0 on\nclick 1\n", dialog);
    EXPECT_EQ("", session.failure);
    ASSERT_EQ(20u, dialog.lines.size());
    EXPECT_EQ("[x]  Topic 0", dialog.lines[0]);
    EXPECT_EQ("[x]  Topic 19", dialog.lines[19]);
    const TopicRecord record = stored_topics();
    EXPECT_EQ(1, record.entries[0].enabled);
    EXPECT_STREQ("Topic 19", record.entries[19].name);
    EXPECT_EQ(1, record.entries[19].enabled);
}

TEST_F(CheckListDialogs, TopicsDoneStoresTheTicksAndCancelStoresNothing) {
    ObservedTopics cancelled;
    RunDialogWith("check 1118 0 off\ncheck 1118 3 on\nescape\n", cancelled);
    EXPECT_EQ(0, cancelled.m_changed);
    EXPECT_EQ(1, stored_topics().entries[0].enabled);
    EXPECT_EQ(0, stored_topics().entries[3].enabled);

    ObservedTopics done;
    Session session = RunDialogWith("check 1118 0 off\ncheck 1118 3 on\nclick 1\n", done);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown.back(), "end 145 IDOK");
    EXPECT_EQ(1, done.m_changed);
    const TopicRecord record = stored_topics();
    EXPECT_EQ(8, record.count);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(i == 3 ? 1 : 0, record.entries[i].enabled) << i;
    EXPECT_STREQ("Gambling", record.entries[3].name);
}

TEST_F(CheckListDialogs, ProtocolRulesAreListedAsStoredAndDoneStoresOnlyTheBlockedFlags) {
    ProtocolRuleTable table = stored_rules();
    table.rules[0].blocked = 1;
    table.rules[3].blocked = 1;
    ASSERT_EQ(1, vtfw_write(&table));

    ObservedProtocols dialog;
    Session session = RunDialogWith("check 1117 0 off\ncheck 1117 3 off\ncheck 1117 6 on\nclick 1\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre(kProtocolsWindow, "end 161 IDOK"));
    std::vector<std::string> shown = kFactoryProtocolLines;
    shown[6] = "[x]  Secure sockets (SSL)";
    EXPECT_THAT(dialog.lines, ElementsAreArray(shown));
    EXPECT_EQ(1, dialog.m_changed);
    const ProtocolRuleTable stored = stored_rules();
    ASSERT_EQ(7, stored.count);
    const int ports[] = {80, 25, 119, 6667, 21, 23, 443};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ports[i], stored.rules[i].port);
        EXPECT_EQ(i == 6 ? 1 : 0, stored.rules[i].blocked) << i;
    }
    EXPECT_STREQ("World Wide Web (HTTP)", stored.rules[0].name);

    ObservedProtocols cancelled;
    RunDialogWith("check 1117 0 on\nescape\n", cancelled);
    EXPECT_EQ(0, cancelled.m_changed);
    EXPECT_EQ(0, stored_rules().rules[0].blocked);
}

// Yes restores the factory settings at once (Cancel afterwards still reports the change); No
// changes nothing. The box is cleared again either way.
TEST_F(CheckListDialogs, FactoryResetOnYesOnlyAndTheBoxIsClearedEitherWay) {
    store_topics(2, {{"Gambling", 1}, {"Hacking", 1}});
    ObservedTopics no;
    Session refused = RunDialogWith("click 1115\nanswer IDNO\nescape\n", no);
    EXPECT_EQ("", refused.failure);
    EXPECT_THAT(refused.shown, ElementsAre(kTopicsWindow, kTopicsReset, "answer IDNO", "end 145 IDCANCEL"));
    EXPECT_THAT(no.lines, ElementsAre("[x]  Gambling", "[x]  Hacking"));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), no.resetBox);
    EXPECT_EQ(0, no.m_changed);
    EXPECT_EQ(2, stored_topics().count);

    ObservedTopics yes;
    Session reset = RunDialogWith("click 1115\nanswer IDYES\nescape\n", yes);
    EXPECT_EQ("", reset.failure);
    EXPECT_THAT(yes.lines, ElementsAreArray(kFactoryTopicLines));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), yes.resetBox);
    EXPECT_EQ(1, yes.m_changed);
    EXPECT_EQ(8, stored_topics().count);

    ProtocolRuleTable table = stored_rules();
    for (int i = 0; i < table.count; ++i) table.rules[i].blocked = 1;
    ASSERT_EQ(1, vtfw_write(&table));
    ObservedProtocols protocolsNo;
    Session protocolsRefused = RunDialogWith("click 1116\nanswer IDNO\nescape\n", protocolsNo);
    EXPECT_THAT(protocolsRefused.shown, ElementsAre(kProtocolsWindow, kProtocolsReset, "answer IDNO",
                                                    "end 161 IDCANCEL"));
    EXPECT_EQ(0, protocolsNo.m_changed);
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), protocolsNo.resetBox);
    ObservedProtocols protocolsYes;
    RunDialogWith("click 1116\nanswer IDYES\nescape\n", protocolsYes);
    EXPECT_THAT(protocolsYes.lines, ElementsAreArray(kFactoryProtocolLines));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), protocolsYes.resetBox);
    EXPECT_EQ(1, protocolsYes.m_changed);
    EXPECT_EQ(0, stored_rules().rules[0].blocked);
}

// A store that cannot be read: the error box, the factory settings restored and listed, and
// the warning in the log.
TEST_F(CheckListDialogs, AStoreThatCannotBeReadIsRestoredWithItsBoxAndItsWarning) {
    std::filesystem::remove(topic_file());
    ObservedTopics topics;
    Session topicSession = RunDialogWith("answer IDOK\nescape\n", topics);
    EXPECT_EQ("", topicSession.failure);
    EXPECT_THAT(topicSession.shown, ElementsAre(kTopicsWindow, kTopicsReadError, "answer IDOK", "end 145 IDCANCEL"));
    EXPECT_THAT(topics.lines, ElementsAreArray(kFactoryTopicLines));
    EXPECT_EQ(8, stored_topics().count);

    std::ofstream(rule_file(), std::ios::binary | std::ios::trunc) << "not a rule table";
    ObservedProtocols protocols;
    Session protocolSession = RunDialogWith("answer IDOK\nescape\n", protocols);
    EXPECT_EQ("", protocolSession.failure);
    EXPECT_THAT(protocolSession.shown,
                ElementsAre(kProtocolsWindow, kProtocolsReadError, "answer IDOK", "end 161 IDCANCEL"));
    EXPECT_THAT(protocols.lines, ElementsAreArray(kFactoryProtocolLines));
    EXPECT_EQ(7, stored_rules().count);

    EXPECT_THAT(log_lines(), ElementsAre(kTopicsTampered, kProtocolsTampered));
}

// Neither read nor restored: the box once, an empty list, no warning; Done stores nothing over
// the store and closes.
TEST_F(CheckListDialogs, AStoreThatCannotBeRestoredLeavesTheListEmptyAndDoneStoresNothing) {
    set_read_only(topic_file(), true);  // the topic list is opened for reading and writing
    ObservedTopics topics;
    Session topicSession = RunDialogWith("answer IDOK\nclick 1\n", topics);
    EXPECT_EQ("", topicSession.failure);
    EXPECT_THAT(topicSession.shown, ElementsAre(kTopicsWindow, kTopicsReadError, "answer IDOK", "end 145 IDOK"));
    EXPECT_THAT(topics.lines, IsEmpty());
    EXPECT_EQ(0, topics.m_changed);

    std::ofstream(rule_file(), std::ios::binary | std::ios::trunc) << "not a rule table";
    set_read_only(rule_file(), true);
    ObservedProtocols protocols;
    Session protocolSession = RunDialogWith("answer IDOK\nclick 1\n", protocols);
    EXPECT_EQ("", protocolSession.failure);
    EXPECT_THAT(protocolSession.shown,
                ElementsAre(kProtocolsWindow, kProtocolsReadError, "answer IDOK", "end 161 IDOK"));
    EXPECT_THAT(protocols.lines, IsEmpty());
    EXPECT_EQ(0, protocols.m_changed);

    EXPECT_THAT(log_lines(), IsEmpty());
    set_read_only(topic_file(), false);
    EXPECT_EQ(8, stored_topics().count) << "the topic list is as it was";
}

TEST_F(CheckListDialogs, AFailedWriteKeepsTheDialogOpenWithTheTicksAsTheyWere) {
    set_read_only(rule_file(), true);  // the rules are read, but cannot be replaced
    ObservedProtocols protocols;
    Session protocolSession =
        RunDialogWith("check 1117 1 on\ncheck 1117 4 on\nclick 1\nexpect-window 161\nescape\n", protocols);
    EXPECT_EQ("", protocolSession.failure);
    EXPECT_THAT(protocolSession.shown, ElementsAre(kProtocolsWindow, "end 161 IDCANCEL"));
    std::vector<std::string> ticked = kFactoryProtocolLines;
    ticked[1] = "[x]  Electronic mail (e-mail)";
    ticked[4] = "[x]  File transfer (FTP)";
    EXPECT_THAT(protocols.lines, ElementsAreArray(ticked));
    EXPECT_EQ(0, protocols.m_changed);
    EXPECT_EQ(0, stored_rules().rules[1].blocked);

    // The topic list is opened for writing only when Done is pressed: F1 over the list makes the
    // file read-only, and F1 again writable, while the dialog is open. The second Done stores
    // the topics' names as they are, not as the failed write left them.
    bool readOnly = false;
    DlgSetRecordListener([this, &readOnly](const DlgRecord& record) {
        if (record.kind != DlgRecordKind::Help) return;
        readOnly = !readOnly;
        set_read_only(topic_file(), readOnly);
    });
    ObservedTopics topics;
    Session topicSession = RunDialogWith(
        "check 1118 2 on\nhelp 1118\nclick 1\nexpect-window 145\nhelp 1118\nclick 1\n", topics);
    EXPECT_EQ("", topicSession.failure);
    EXPECT_THAT(topicSession.shown.back(), "end 145 IDOK");
    std::vector<std::string> topicTicks = kFactoryTopicLines;
    topicTicks[2] = "[x]  Hate and Intolerance";
    EXPECT_THAT(topics.lines, ElementsAreArray(topicTicks));
    EXPECT_EQ(1, topics.m_changed);
    const TopicRecord record = stored_topics();
    EXPECT_STREQ("Pornography", record.entries[0].name);
    EXPECT_STREQ("Hate and Intolerance", record.entries[2].name);
    EXPECT_EQ(1, record.entries[2].enabled);
}

TEST_F(CheckListDialogs, HelpCoversTheListAndTheResetBox) {
    struct Case {
        int id;
        const char* context;
    } topicCases[] = {{1118, "0x8091045E"}, {1115, "0x8091045B"}}, protocolCases[] = {{1117, "0x80A1045D"},
                                                                                      {1116, "0x80A1045C"}};
    for (const Case& c : topicCases) {
        Session session = RunDialog<CTopicsDlg>("help " + std::to_string(c.id) + "\ncontextmenu " +
                                                std::to_string(c.id) + "\nescape\n");
        EXPECT_EQ("", session.failure);
        EXPECT_THAT(session.shown, Contains(HasSubstr(std::string("help 145 HELP_WM_HELP ") + c.context + " ")));
        EXPECT_THAT(session.shown, Contains(HasSubstr(std::string("help 145 HELP_CONTEXTMENU ") + c.context + " ")));
    }
    for (const Case& c : protocolCases) {
        Session session = RunDialog<CProtocolsDlg>("help " + std::to_string(c.id) + "\ncontextmenu " +
                                                   std::to_string(c.id) + "\nescape\n");
        EXPECT_EQ("", session.failure);
        EXPECT_THAT(session.shown, Contains(HasSubstr(std::string("help 161 HELP_WM_HELP ") + c.context + " ")));
        EXPECT_THAT(session.shown, Contains(HasSubstr(std::string("help 161 HELP_CONTEXTMENU ") + c.context + " ")));
    }
    Session onWindow = RunDialog<CTopicsDlg>("contextmenu 0\nescape\n");
    EXPECT_THAT(onWindow.shown, Not(Contains(HasSubstr("help "))));
}

// Done marks the change, Cancel does not; a reset before Cancel does.
TEST_F(CheckListDialogs, TheAdvancedSettingsButtonsMarkAChangeWhenTheDialogReportsOne) {
    for (int button : {IDC_FILTER_TOPICS, IDC_PROTOCOLS}) {
        const std::string open = "click " + std::to_string(button) + "\n";
        ClearChangeMarkers();
        EXPECT_EQ("", RunDialog<CAdvancedDlg>(open + "escape\nescape\n").failure);
        EXPECT_FALSE(AnyChangeMarker()) << button;
        EXPECT_EQ("", RunDialog<CAdvancedDlg>(open + "click 1\nescape\n").failure);
        EXPECT_TRUE(AnyChangeMarker()) << button;
        ClearChangeMarkers();
        const std::string reset = button == IDC_FILTER_TOPICS ? "click 1115\n" : "click 1116\n";
        EXPECT_EQ("", RunDialog<CAdvancedDlg>(open + reset + "answer IDYES\nescape\nescape\n").failure);
        EXPECT_TRUE(AnyChangeMarker()) << button;
    }
}

}  // namespace
}  // namespace configurator_test
