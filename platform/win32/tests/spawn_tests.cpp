// _spawnl: Windows program paths under the machine root, the command line's arguments, the wait.
#include <process.h>

#include "temp_machine_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <errno.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines_of(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A program under drive C: that writes each argument it got on a line of args.txt and exits
// with the status its first argument names, when that is a number.
class Spawn : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root_.file("drive_c/Tools"));
        const std::string program = root_.file("drive_c/Tools/record.sh");
        std::ofstream(program) << "#!/bin/sh\n"
                                  "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '"
                               << record_ << "'\n"
                                  "case \"$1\" in *[!0-9]*|'') exit 0;; *) exit \"$1\";; esac\n";
        chmod(program.c_str(), 0755);
    }
    qf_test::TempMachineRoot root_;
    const std::string record_ = root_.file("args.txt");
};

TEST_F(Spawn, WaitsAndAnswersTheExitCode) {
    EXPECT_EQ(7, _spawnl(_P_WAIT, "C:\\Tools\\record.sh", "record", "7", NULL));
    EXPECT_EQ(std::vector<std::string>{"7"}, lines_of(record_));
    EXPECT_EQ(0, _spawnl(_P_WAIT, "c:\\TOOLS\\RECORD.SH", "record", NULL)) << "names are matched without case";
    EXPECT_TRUE(lines_of(record_).empty());
}

TEST_F(Spawn, ArgumentsArriveAsTheCommandLineSplitsThem) {
    struct Case {
        std::vector<const char*> arguments;
        std::vector<std::string> received;
    };
    const Case cases[] = {
        {{"\"C:\\Program Files\\Quillfence\\log\\dump.txt\""}, {"C:\\Program Files\\Quillfence\\log\\dump.txt"}},
        {{"two words"}, {"two", "words"}},
        {{"a", "b\\c"}, {"a", "b\\c"}},
        {{"\"quote \\\" inside\""}, {"quote \" inside"}},
        {{"\"ends in backslash\\\\\""}, {"ends in backslash\\"}},
        {{"say\"\" \"it \"\"loud\"\"\""}, {"say", "it \"loud\""}},
    };
    for (const Case& c : cases) {
        const char* a = c.arguments.size() > 0 ? c.arguments[0] : nullptr;
        const char* b = c.arguments.size() > 1 ? c.arguments[1] : nullptr;
        EXPECT_EQ(0, _spawnl(_P_WAIT, "C:\\Tools\\record.sh", "wordpad.exe", a, b, NULL)) << a;
        EXPECT_EQ(c.received, lines_of(record_)) << a;
    }
}

TEST_F(Spawn, WhatCannotStartAnswersMinusOneWithErrno) {
    struct Case {
        int mode;
        const char* program;
        const char* arg0;
        int error;
    };
    const Case cases[] = {
        {_P_WAIT, "C:\\Tools\\missing.exe", "missing", ENOENT},
        {_P_WAIT, "", "empty", ENOENT},
        {_P_WAIT, "D:\\Tools\\record.sh", "record", ENOENT},
        {_P_NOWAIT, "C:\\Tools\\record.sh", "record", EINVAL},
        {_P_WAIT, nullptr, "record", EINVAL},
        {_P_WAIT, "C:\\Tools\\record.sh", nullptr, EINVAL},
    };
    for (const Case& c : cases) {
        errno = 0;
        EXPECT_EQ(-1, _spawnl(c.mode, c.program, c.arg0, NULL)) << (c.program ? c.program : "(null)");
        EXPECT_EQ(c.error, errno) << (c.program ? c.program : "(null)");
    }
    EXPECT_FALSE(std::filesystem::exists(record_)) << "nothing ran";
}

}  // namespace
