// The Advanced settings window: Done and its "changes detected" prompt, the buttons, help.
#include "configurator_test_support.h"

#include "advanced_dlg.h"
#include "change_markers.h"

#include <http_test_server.h>
#include <vtlogger.h>
#include <vttray.h>

#include <gmock/gmock.h>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class AdvancedSettings : public ControlCenter {};

const char kQuestion[] =
    "box 143 \"Quillfence Changes Detected\" \"Changes have been detected. Do you want to activate your changes "
    "now?\\n\\nIf you do not activate these changes now, they will be activated \\nthe next time you reboot your "
    "computer.\" MB_YESNO|MB_ICONQUESTION";
const char kActivated[] =
    "box 143 \"Quillfence Changes Activated - Success\" \"Close and restart currently running Internet applications "
    "(browser, e-mail, news, chat etc.) for changes to become active.\" MB_OK|MB_ICONINFORMATION";

TEST_F(AdvancedSettings, DoneWithoutChangesClosesUnasked) {
    Session session = RunDialog<CAdvancedDlg>("click 1107\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 143 \"Quillfence - Advanced settings\"", "end 143 IDOK"));
    EXPECT_EQ(-1, VTTray_FilterState());
}

TEST_F(AdvancedSettings, YesActivatesTheChangesAndNoDoesNotButBothClearTheMarkers) {
    SetChangeMarker(ChangeArea::SafeSurf);
    Session yes = RunDialog<CAdvancedDlg>("click 1107\nanswer IDYES\nanswer IDOK\n");
    EXPECT_EQ("", yes.failure);
    EXPECT_THAT(yes.shown, ElementsAre("window 143 \"Quillfence - Advanced settings\"", kQuestion, "answer IDYES",
                                       kActivated, "answer IDOK", "end 143 IDOK"));
    EXPECT_EQ(0, VTTray_FilterState()) << "the tray was loaded";
    EXPECT_FALSE(AnyChangeMarker());

    SetChangeMarker(ChangeArea::FilterUpdate);
    Session no = RunDialog<CAdvancedDlg>("click 1107\nanswer IDNO\n");
    EXPECT_EQ("", no.failure);
    EXPECT_THAT(no.shown, ElementsAre("window 143 \"Quillfence - Advanced settings\"", kQuestion, "answer IDNO",
                                      "end 143 IDOK"));
    EXPECT_FALSE(AnyChangeMarker());
}

TEST_F(AdvancedSettings, EscapeAndTheCloseBoxSkipThePromptAndKeepTheMarkersForTheNextDone) {
    SetChangeMarker(ChangeArea::Topics);
    Session escaped = RunDialog<CAdvancedDlg>("escape\n");
    EXPECT_THAT(escaped.shown.back(), "end 143 IDCANCEL");
    Session closed = RunDialog<CAdvancedDlg>("close\n");
    EXPECT_THAT(closed.shown.back(), "end 143 IDCANCEL");
    EXPECT_TRUE(AnyChangeMarker());
    Session done = RunDialog<CAdvancedDlg>("click 1107\nanswer IDNO\n");
    EXPECT_EQ("", done.failure);
    EXPECT_THAT(done.shown, Contains(kQuestion));
}

TEST_F(AdvancedSettings, ChangePasswordOpensItsDialogAndSetsNoMarker) {
    set_password("secret");
    Session session =
        RunDialog<CAdvancedDlg>("click 1004\nexpect-window 134\nescape\nexpect-window 143\nclick 1107\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 143 \"Quillfence - Advanced settings\"",
                                           "window 134 \"Quillfence - Change login password\"", "end 134 IDCANCEL",
                                           "end 143 IDOK"));
    EXPECT_FALSE(AnyChangeMarker());
}

// Erase Log asks first; only Yes erases, and neither sets a marker.
TEST_F(AdvancedSettings, EraseLogAsksAndErasesOnlyOnYes) {
    VTLogger_Free();
    ASSERT_EQ(1, VTLogger_Submit("BLOCK", 80, "an entry"));
    VTLogger_Free();
    const std::string question =
        "box 143 \"Quillfence - Erase log\" \"The current log will be completely erased.\\nDo you want to erase the "
        "log ?\" MB_YESNO|MB_DEFBUTTON2";
    Session no = RunDialog<CAdvancedDlg>("click 1016\nanswer IDNO\nclick 1107\n");
    EXPECT_EQ("", no.failure);
    EXPECT_THAT(no.shown, Contains(question));
    EXPECT_EQ(1u, log_lines().size());
    Session yes = RunDialog<CAdvancedDlg>("click 1016\nanswer IDYES\nclick 1107\n");
    EXPECT_EQ("", yes.failure);
    EXPECT_TRUE(log_lines().empty());
    EXPECT_FALSE(AnyChangeMarker());
    VTLogger_Free();
}

// A filter update that cannot reach the server shows the internet error's text, then the
// update's own message; the button is enabled again and no marker is set.
TEST_F(AdvancedSettings, AFailedFilterUpdateSaysSoAndSetsNoMarker) {
    set_string("SOFTWARE\\Marrowby\\Quillfence\\2.2", "UpdateServer",
               ("127.0.0.1:" + std::to_string(qf_test::unused_loopback_port())).c_str());
    Session session = RunDialog<CAdvancedDlg>(
        "click 1013\nanswer IDOK\nexpect-box \"Quillfence - Filter update\" \"Error updating filter.\\nPlease retry "
        "later.\"\nanswer IDOK\nexpect-enabled 1013 yes\nclick 1107\n");
    EXPECT_EQ("", session.failure);
    ASSERT_GE(session.shown.size(), 3u);
    EXPECT_THAT(session.shown[1], HasSubstr("box 143 \"Error\" \"Couldn't connect to server"));
    EXPECT_FALSE(AnyChangeMarker());
}

TEST_F(AdvancedSettings, HelpCoversEveryButtonButDone) {
    struct Case {
        int id;
        const char* context;
    } cases[] = {{1003, "0x808F03EB"}, {1004, "0x808F03EC"}, {1008, "0x808F03F0"}, {1009, "0x808F03F1"},
                 {1010, "0x808F03F2"}, {1011, "0x808F03F3"}, {1013, "0x808F03F5"}, {1016, "0x808F03F8"},
                 {1034, "0x808F040A"}, {1035, "0x808F040B"}, {1036, "0x808F040C"}, {1049, "0x808F0419"},
                 {1107, "0x0"}};
    for (const Case& c : cases) {
        Session session = RunDialog<CAdvancedDlg>("help " + std::to_string(c.id) + "\ncontextmenu " +
                                                  std::to_string(c.id) + "\nescape\n");
        EXPECT_EQ("", session.failure);
        EXPECT_THAT(session.shown, Contains(HasSubstr(std::string("help 143 HELP_WM_HELP ") + c.context + " ")))
            << c.id;
        EXPECT_THAT(session.shown, Contains(HasSubstr(std::string("help 143 HELP_CONTEXTMENU ") + c.context + " ")))
            << c.id;
    }
}

}  // namespace
}  // namespace configurator_test
