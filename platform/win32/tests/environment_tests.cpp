// The Windows folders, environment strings and the program's path.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <string>

namespace {

TEST(Environment, FoldersFollowTheBufferContract) {
    struct Case {
        const char* name;
        UINT (*call)(LPSTR, UINT);
        const char* text;
    } cases[] = {
        {"system", GetSystemDirectoryA, "C:\\WINDOWS\\SYSTEM32"},
        {"windows", GetWindowsDirectoryA, "C:\\WINDOWS"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const UINT length = UINT(strlen(c.text));
        char buffer[255];
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(c.call(buffer, sizeof(buffer)), length);
        EXPECT_STREQ(buffer, c.text);
        memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(c.call(buffer, length), length + 1);  // no room for the terminator
        EXPECT_EQ(buffer[0], 'x');
        EXPECT_EQ(c.call(buffer, length + 1), length);
        EXPECT_EQ(c.call(nullptr, 0), length + 1);
    }
}

TEST(Environment, ExpandsKnownVariablesAndKeepsTheRest) {
    setenv("QF_TEST_VAR", "value", 1);
    struct Case {
        const char* source;
        const char* expanded;
    } cases[] = {
        {"%SystemRoot%\\system32\\qfafd.dll", "C:\\WINDOWS\\system32\\qfafd.dll"},
        {"%systemroot%", "C:\\WINDOWS"},
        {"%WINDIR%\\x", "C:\\WINDOWS\\x"},
        {"a%QF_TEST_VAR%b", "avalueb"},
        {"%qf_test_var%", "value"},
        {"%NO_SUCH_VARIABLE%", "%NO_SUCH_VARIABLE%"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"50% and %WINDIR%", "50% and C:\\WINDOWS"},
        {"%NO_SUCH%WINDIR%", "%NO_SUCHC:\\WINDOWS"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        char buffer[260];
        const DWORD needed = DWORD(strlen(c.expanded) + 1);
        EXPECT_EQ(ExpandEnvironmentStringsA(c.source, buffer, sizeof(buffer)), needed);
        EXPECT_STREQ(buffer, c.expanded);
        EXPECT_EQ(ExpandEnvironmentStringsA(c.source, nullptr, 0), needed);
        if (needed > 1) {
            char small[260];
            memset(small, 'x', sizeof(small));
            EXPECT_EQ(ExpandEnvironmentStringsA(c.source, small, needed - 1), needed);
            EXPECT_EQ(small[0], '\0');  // never a half expansion that looks whole
            EXPECT_EQ(small[needed - 1], 'x');
        }
    }
    unsetenv("QF_TEST_VAR");
}

TEST(Environment, GetEnvironmentVariableAnswersSizesAndAbsence) {
    setenv("QF_TEST_VAR", "value", 1);
    char buffer[16];
    EXPECT_EQ(GetEnvironmentVariableA("QF_TEST_VAR", buffer, sizeof(buffer)), 5u);
    EXPECT_STREQ(buffer, "value");
    EXPECT_EQ(GetEnvironmentVariableA("QF_TEST_VAR", buffer, 5), 6u);
    EXPECT_EQ(GetEnvironmentVariableA("SystemRoot", buffer, sizeof(buffer)), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    EXPECT_EQ(GetEnvironmentVariableA("QF_NO_SUCH_VARIABLE", buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ENVVAR_NOT_FOUND));
    unsetenv("QF_TEST_VAR");
}

TEST(Environment, ModuleFileNameOfTheProgramIsCutToTheBuffer) {
    char path[4096];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, strlen(path));
    EXPECT_NE(std::string(path).find("win32_tests"), std::string::npos);
    char small[8];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), DWORD(sizeof(small)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small[7], '\0');
    EXPECT_EQ(std::string(small), std::string(path, 7));
    EXPECT_EQ(GetCurrentProcessId(), DWORD(getpid()));
}

}  // namespace
