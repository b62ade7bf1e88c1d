// The New password, Login and Change login password dialogs: what leaving and entering each field
// does, what Done says, and what ends up in the password file.
#include "configurator_test_support.h"

#include "change_password_dlg.h"
#include "login_dlg.h"
#include "new_password_dlg.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

const char kPasswordFile[] = "drive_c/Program Files/Quillfence/bin/vterr32.dll";

class NewPasswordDialog : public ControlCenter {};

TEST_F(NewPasswordDialog, LeavingTheSecondFieldWithOtherTextSaysSoAndAMouseDoneStillStoresTheFirst) {
    // The click on Done takes the focus from the second field first; Done does not compare.
    CNewPasswordDlg dialog;
    Session session = RunDialogWith("type 1006 alpha\ntype 1001 beta\nclick 1\nanswer IDOK\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 132 \"Quillfence - New password\"",
                                           "box 132 \"ERROR!\" \"First Password not the same as second.\" MB_OK",
                                           "answer IDOK", "end 132 IDOK"));
    EXPECT_EQ(1, dialog.m_success);
    EXPECT_TRUE(password_is("alpha"));
}

TEST_F(NewPasswordDialog, DoneByEnterWithoutLeavingTheSecondFieldStoresTheFirstUnasked) {
    CNewPasswordDlg dialog;
    Session session = RunDialogWith("type 1006 alpha\ntype 1001 beta\nenter\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, ElementsAre("window 132 \"Quillfence - New password\"", "end 132 IDOK"));
    EXPECT_TRUE(password_is("alpha"));
}

TEST_F(NewPasswordDialog, ReturningToTheFirstFieldEmptiesBothAndLeavingItEmptiesTheSecond) {
    Session session = RunDialog<CNewPasswordDlg>(
        "type 1006 alpha\ntype 1001 alpha\n"
        "focus 1006\nexpect-text 1006 \nexpect-text 1001 \n"
        "type 1006 gamma\ntype 1001 gamma\ntype 1006 delta\n"  // the second field is emptied again
        "focus 1001\nexpect-text 1001 \n"  // leaving the first field empties the second
        "enter\nexpect-box \"ERROR!\" \"Password cannot be empty.\"\nanswer IDOK\n"
        "escape\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, Contains("end 132 IDCANCEL"));
    EXPECT_FALSE(std::filesystem::exists(root_.file(kPasswordFile)));
}

TEST_F(NewPasswordDialog, TypingStopsAtTwentyEightCharacters) {
    const std::string typed(40, 'x');
    Session session = RunDialog<CNewPasswordDlg>("type 1006 " + typed + "\ntype 1001 " + typed + "\nenter\n");
    EXPECT_EQ("", session.failure);
    EXPECT_TRUE(password_is(std::string(28, 'x').c_str()));
}

TEST_F(NewPasswordDialog, APasswordFileThatCannotBeWrittenKeepsTheDialogOpen) {
    // "bin" is a file, so nothing can be made in it.
    std::filesystem::remove_all(root_.file("drive_c/Program Files/Quillfence/bin"));
    { FILE* blocker = fopen(root_.file("drive_c/Program Files/Quillfence/bin").c_str(), "w"); fclose(blocker); }
    CNewPasswordDlg dialog;
    Session session = RunDialogWith(
        "type 1006 alpha\ntype 1001 alpha\nenter\n"
        "expect-box \"ERROR!\" \"Password File already Exists.\"\nanswer IDOK\nescape\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_EQ(0, dialog.m_success);
}

class LoginDialog : public ControlCenter {
protected:
    void SetUp() override {
        ControlCenter::SetUp();
        set_password("opensesame");
    }
};

TEST_F(LoginDialog, AWrongPasswordKeepsItsTextAndTheDialogOpenUntilTheRightOne) {
    CLoginDlg dialog;
    Session session = RunDialogWith(
        "expect-text 1006 \n"
        "type 1006 wrong\nenter\nexpect-box \"ERROR!\" \"Password Incorrect\"\nanswer IDOK\nexpect-text 1006 wrong\n"
        "enter\nanswer IDOK\n"
        "type 1006 opensesame\nenter\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, Contains("end 133 IDOK"));
    EXPECT_EQ(1, dialog.m_success);
}

TEST_F(LoginDialog, CancelAfterAFailedTryLeavesTheFlagClear) {
    CLoginDlg dialog;
    Session session = RunDialogWith("type 1006 wrong\nenter\nanswer IDOK\nclick 2\n", dialog);
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, Contains("end 133 IDCANCEL"));
    EXPECT_EQ(0, dialog.m_success);
}

TEST_F(LoginDialog, AMissingPasswordFileFailsEveryLogin) {
    std::filesystem::remove(root_.file(kPasswordFile));
    Session session = RunDialog<CLoginDlg>("type 1006 opensesame\nenter\nexpect-box \"ERROR!\" \"Password Incorrect\"\n"
                                           "answer IDOK\nclose\n");
    EXPECT_EQ("", session.failure);
}

class ChangePasswordDialog : public LoginDialog {};

TEST_F(ChangePasswordDialog, DoneWithEmptyFieldsNamesEveryOneInOneBox) {
    struct Case {
        const char* script;
        const char* text;
    } cases[] = {
        {"", "Current password is required\\nNew password is required\\nNew confirmed password is required\\n"},
        {"type 1001 fresh\n", "Current password is required\\nNew confirmed password is required\\n"},
        {"type 1006 opensesame\ntype 1052 fresh\n", "New password is required\\n"},
    };
    for (const Case& c : cases) {
        Session session = RunDialog<CChangePasswordDlg>(std::string(c.script) + "enter\nexpect-box \"DATA INPUT ERROR!\" \"" +
                                                        c.text + "\"\nanswer IDOK\nescape\n");
        EXPECT_EQ("", session.failure) << c.script;
    }
    EXPECT_TRUE(password_is("opensesame"));
}

TEST_F(ChangePasswordDialog, LeavingEachFieldChecksItAndEnteringTheNewOnesEmptiesThem) {
    Session session = RunDialog<CChangePasswordDlg>(
        // An empty current password says nothing when left.
        "focus 1001\n"
        // A wrong one is refused and emptied.
        "type 1006 wrong\nfocus 1001\nexpect-box \"ERROR!\" \"Current Password is Incorrect.\"\nanswer IDOK\n"
        "expect-text 1006 \n"
        // The old password as the new one is refused and emptied.
        "type 1006 opensesame\ntype 1001 opensesame\nfocus 1052\n"
        "expect-box \"ERROR!\" \"New password is same as the old password.\"\nanswer IDOK\nexpect-text 1001 \n"
        // A confirmation that differs is reported.
        "type 1001 fresh\ntype 1052 other\nfocus 1006\nexpect-box \"ERROR!\" \"please re-confirm new password\"\n"
        "answer IDOK\n"
        // Entering the new and the confirmation field empties them.
        "focus 1001\nexpect-text 1001 \ntype 1001 fresh\nfocus 1052\nexpect-text 1052 \n"
        "type 1052 fresh\nenter\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, Contains("end 134 IDOK"));
    EXPECT_TRUE(password_is("fresh"));
    EXPECT_FALSE(password_is("opensesame"));
}

TEST_F(ChangePasswordDialog, DoneChecksTheCurrentPasswordAndDoesNotCompareTheConfirmation) {
    // The current field is filled in last and not left, so only Done judges it.
    Session wrong = RunDialog<CChangePasswordDlg>(
        "type 1001 fresh\ntype 1052 fresh\ntype 1006 wrong\nenter\n"
        "expect-box \"ERROR!\" \"Password Incorrect\"\nanswer IDOK\nescape\n");
    EXPECT_EQ("", wrong.failure);
    EXPECT_TRUE(password_is("opensesame"));

    Session unconfirmed = RunDialog<CChangePasswordDlg>(
        "type 1006 opensesame\ntype 1001 fresh\ntype 1052 other\nenter\n");
    EXPECT_EQ("", unconfirmed.failure);
    EXPECT_THAT(unconfirmed.shown, Not(Contains(::testing::HasSubstr("box"))));
    EXPECT_TRUE(password_is("fresh"));
}

TEST_F(ChangePasswordDialog, APasswordFileThatCannotBeReplacedSaysSoAndKeepsTheOld) {
    // The new file is written beside the old one first; a folder in its place stops that.
    std::filesystem::create_directory(root_.file("drive_c/Program Files/Quillfence/bin/oldstat.tmp"));
    Session session = RunDialog<CChangePasswordDlg>(
        "type 1006 opensesame\ntype 1001 fresh\ntype 1052 fresh\nenter\n"
        "expect-box \"ERROR!\" \"Cannot change password.\"\nanswer IDOK\nclick 2\n");
    EXPECT_EQ("", session.failure);
    EXPECT_TRUE(password_is("opensesame"));
}

}  // namespace
}  // namespace configurator_test
