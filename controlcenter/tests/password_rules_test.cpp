// The password dialogs' decisions, as the dialogs and the admin command line both take them.
#include "installer_test_support.h"

#include <password_rules.h>
#include <password_store.h>

#include <gtest/gtest.h>

namespace installer_test {
namespace {

using PasswordRules = SeededMachine;

TEST_F(PasswordRules, NewPasswordRefusesEmptyFieldsAndComparesOnlyWhenTheSecondIsLeft) {
    bool stored = true;
    PasswordMessage shown = NewPasswordDone("", "x", &stored);
    EXPECT_STREQ("ERROR!", shown.caption);
    EXPECT_EQ("Password cannot be empty.", shown.text);
    EXPECT_EQ("Password cannot be empty.", NewPasswordDone("x", "", &stored).text);
    EXPECT_FALSE(stored);
    EXPECT_FALSE(PasswordFileOpens());

    EXPECT_EQ("First Password not the same as second.", NewPasswordSecondLeft("one", "two").text);
    EXPECT_FALSE(NewPasswordSecondLeft("one", "one").shown());

    // Done itself does not compare: the first field is stored.
    EXPECT_FALSE(NewPasswordDone("one", "two", &stored).shown());
    EXPECT_TRUE(stored);
    EXPECT_EQ(PWS_MATCH, VerifyPassword("one"));
}

TEST_F(PasswordRules, LoginMatchesOnlyThePassword) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
    bool matched = false;
    EXPECT_FALSE(LoginOk("secret", &matched).shown());
    EXPECT_TRUE(matched);
    for (const char* typed : {"wrong", "", "secre"}) {
        PasswordMessage shown = LoginOk(typed, &matched);
        EXPECT_STREQ("ERROR!", shown.caption);
        EXPECT_EQ("Password Incorrect", shown.text) << typed;
        EXPECT_FALSE(matched);
    }
}

TEST_F(PasswordRules, ChangeDialogFieldsLeft) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
    bool clear = true;
    EXPECT_FALSE(ChangeCurrentLeft("", &clear).shown()) << "an empty current password shows nothing";
    EXPECT_FALSE(clear);
    EXPECT_FALSE(ChangeCurrentLeft("secret", &clear).shown());
    EXPECT_EQ("Current Password is Incorrect.", ChangeCurrentLeft("wrong", &clear).text);
    EXPECT_TRUE(clear);

    EXPECT_EQ("New password is same as the old password.", ChangeNewLeft("secret", "secret", &clear).text);
    EXPECT_TRUE(clear);
    EXPECT_FALSE(ChangeNewLeft("secret", "other", &clear).shown());
    EXPECT_FALSE(ChangeNewLeft("", "", &clear).shown()) << "two empty fields are left for Done to report";
    EXPECT_FALSE(clear);

    EXPECT_EQ("please re-confirm new password", ChangeAgainLeft("other", "othr").text);
    EXPECT_FALSE(ChangeAgainLeft("other", "other").shown());
}

TEST_F(PasswordRules, ChangeDoneNamesEveryEmptyFieldInOneMessage) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
    struct Case {
        const char* current;
        const char* newText;
        const char* again;
        const char* text;
    };
    const Case cases[] = {
        {"", "", "", "Current password is required\nNew password is required\nNew confirmed password is required\n"},
        {"", "n", "n", "Current password is required\n"},
        {"secret", "", "", "New password is required\nNew confirmed password is required\n"},
        {"", "n", "", "Current password is required\nNew confirmed password is required\n"},
    };
    for (const Case& c : cases) {
        bool stored = true;
        PasswordMessage shown = ChangeDone(c.current, c.newText, c.again, &stored);
        EXPECT_STREQ("DATA INPUT ERROR!", shown.caption);
        EXPECT_EQ(c.text, shown.text);
        EXPECT_FALSE(stored);
    }
    EXPECT_EQ(PWS_MATCH, VerifyPassword("secret"));
}

TEST_F(PasswordRules, ChangeDoneChecksTheCurrentPasswordAndStoresTheNewWithoutComparingItsConfirmation) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
    bool stored = true;
    EXPECT_EQ("Password Incorrect", ChangeDone("wrong", "new1", "new1", &stored).text);
    EXPECT_FALSE(stored);
    EXPECT_EQ(PWS_MATCH, VerifyPassword("secret"));

    EXPECT_FALSE(ChangeDone("secret", "new1", "new2", &stored).shown());
    EXPECT_TRUE(stored);
    EXPECT_EQ(PWS_MATCH, VerifyPassword("new1"));
}

TEST_F(PasswordRules, AChangeThatCannotBeWrittenSaysSoAndKeepsTheOldPassword) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
    // A folder where the temporary file would go: it cannot be created.
    ASSERT_TRUE(CreateDirectoryA("C:\\Program Files\\Quillfence\\bin\\oldstat.tmp", NULL));
    bool stored = true;
    PasswordMessage shown = ChangeDone("secret", "new1", "new1", &stored);
    EXPECT_STREQ("ERROR!", shown.caption);
    EXPECT_EQ("Cannot change password.", shown.text);
    EXPECT_FALSE(stored);
    EXPECT_EQ(PWS_MATCH, VerifyPassword("secret"));
}

}  // namespace
}  // namespace installer_test
