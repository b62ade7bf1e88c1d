// The password file: its 16 bytes, what matches, and what happens when the file or its folder is
// not there.
#include "installer_test_support.h"

#include <password_rules.h>
#include <password_store.h>
#include <rc6.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace installer_test {
namespace {

const char kPasswordFile[] = "C:\\Program Files\\Quillfence\\bin\\vterr32.dll";
const char kBinFolder[] = "C:\\Program Files\\Quillfence\\bin";

std::vector<unsigned char> read_password_file() {
    std::vector<unsigned char> out;
    HANDLE file = CreateFileA(kPasswordFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return out;
    unsigned char buffer[64];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got > 0) out.insert(out.end(), buffer, buffer + got);
    CloseHandle(file);
    return out;
}

void write_password_file(const std::vector<unsigned char>& data) {
    HANDLE file = CreateFileA(kPasswordFile, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, data.data(), (DWORD)data.size(), &written, NULL));
    CloseHandle(file);
}

using PasswordStore = SeededMachine;

// The file is the block "characters 0..15 of the repetition" encrypted under the key "characters
// 0..3 of the repetition", 32 bits of key: nothing else.
TEST_F(PasswordStore, TheFileIsTheRepeatedPasswordEncryptedUnderItsFirstFourCharacters) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("abc"));
    const std::vector<unsigned char> file = read_password_file();
    ASSERT_EQ(16u, file.size());

    const unsigned char key[4] = {'a', 'b', 'c', 'a'};
    Rc6KeySchedule schedule;
    ASSERT_TRUE(Rc6MakeKeySchedule(key, 32, &schedule));
    unsigned char plain[16];
    Rc6Block(&schedule, file.data(), plain, RC6_DECRYPT);
    Rc6ReleaseKeySchedule(&schedule);
    EXPECT_EQ("abcabcabcabcabca", std::string((const char*)plain, 16));

    ASSERT_EQ(PWS_WRITTEN, StorePassword("abc"));
    EXPECT_EQ(file, read_password_file()) << "the same password always writes the same bytes";
}

TEST_F(PasswordStore, MatchesByTheFirstSixteenCharactersOfTheRepetition) {
    struct Case {
        const char* stored;
        const char* typed;
        int expected;
    };
    const Case cases[] = {
        {"secret", "secret", PWS_MATCH},
        {"secret", "Secret", PWS_MISMATCH},
        {"secret", "secre", PWS_MISMATCH},
        {"ab", "abab", PWS_MATCH},
        {"a", "aaaa", PWS_MATCH},
        {"abcdefghijklmnop", "abcdefghijklmnopXYZ", PWS_MATCH},
        {"abcdefghijklmnop", "abcdefghijklmnoX", PWS_MISMATCH},
        {"abcdefghijklmnopqrstuvwxyz12", "abcdefghijklmnop", PWS_MATCH},
        {"abcd", "abce", PWS_MISMATCH},
        {"abcd", "", PWS_MISMATCH},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(PWS_WRITTEN, StorePassword(c.stored));
        EXPECT_EQ(c.expected, VerifyPassword(c.typed)) << c.stored << " / " << c.typed;
    }
}

TEST_F(PasswordStore, AMissingFileIsAFileErrorAndAShortOneNeverMatches) {
    EXPECT_FALSE(PasswordFileOpens());
    EXPECT_EQ(PWS_FILE_ERROR, VerifyPassword("secret"));

    ASSERT_EQ(PWS_WRITTEN, StorePassword("secret"));
    EXPECT_TRUE(PasswordFileOpens());
    std::vector<unsigned char> file = read_password_file();
    file.resize(8);
    write_password_file(file);
    EXPECT_EQ(PWS_MISMATCH, VerifyPassword("secret"));
    write_password_file({});
    EXPECT_EQ(PWS_MISMATCH, VerifyPassword("secret"));
}

// Without its folder the file cannot be written: the dialogs then say so, and nothing is left
// behind.
TEST_F(PasswordStore, AFolderThatIsNotThereIsAFileErrorForBothOperations) {
    ASSERT_TRUE(RemoveDirectoryA(kBinFolder));
    EXPECT_EQ(PWS_FILE_ERROR, StorePassword("secret"));
    EXPECT_EQ(PWS_FILE_ERROR, VerifyPassword("secret"));
    bool stored = true;
    EXPECT_EQ("Password File already Exists.", NewPasswordDone("secret", "secret", &stored).text);
    EXPECT_FALSE(stored);
    EXPECT_FALSE(PasswordFileOpens());
}

// A new password replaces the old one only when it is written whole.
TEST_F(PasswordStore, ChangingThePasswordReplacesTheOldOne) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("first"));
    ASSERT_EQ(PWS_WRITTEN, StorePassword("second"));
    EXPECT_EQ(PWS_MISMATCH, VerifyPassword("first"));
    EXPECT_EQ(PWS_MATCH, VerifyPassword("second"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Program Files\\Quillfence\\bin\\oldstat.tmp"));
}

}  // namespace
}  // namespace installer_test
