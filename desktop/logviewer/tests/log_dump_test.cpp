// Reading the access log's dump: the lines VTLogger_DumpLog writes, and damaged or cut lines,
// read within the given length.
#include "log_dump.h"

#include <qf/machine_root.h>

#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// The dump in a buffer of exactly its length, so that a read past it is caught by ASan.
std::vector<LogDumpEntry> read_exact(const std::string& text) {
    std::unique_ptr<char[]> exact(new char[text.size() ? text.size() : 1]);
    memcpy(exact.get(), text.data(), text.size());
    return logviewer_read_dump(exact.get(), text.size());
}

// A dump as the logger writes it: every kind, the empty kind, a kind longer than the padding, a
// wide and a negative port, a text that holds "  [" and a program with blanks.
const char kDump[] =
    "2024-03-01 08:00:00  BLOCK      80  Violation in site name (casino.example)  [firefox]\r\n"
    "2024-03-01 08:00:01  DENY       80  casino.example (10.0.0.1); disallow list.  [firefox]\r\n"
    "2024-03-01 08:00:02  WARNING     0  Your RSACi settings have been tampered with.  [configurator]\r\n"
    "2024-03-01 08:00:03             0  Quillfence filter loaded  [curl]\r\n"
    "2024-03-01 08:00:04  CUSTOMKIND  65535  wide port  [a b c]\r\n"
    "2024-03-01 08:00:05  FETCH      -1  a text  [with]  brackets  [wget]\r\n"
    "2024-03-01 08:00:06  INFORM      0    []\r\n";

TEST(LogDump, ReadsEveryFieldOfTheLoggersLines) {
    struct Expected {
        const char* time;
        const char* kind;
        int port;
        const char* text;
        const char* program;
        const char* site;
    };
    const Expected expected[] = {
        {"2024-03-01 08:00:00", "BLOCK", 80, "Violation in site name (casino.example)", "firefox", "casino.example"},
        {"2024-03-01 08:00:01", "DENY", 80, "casino.example (10.0.0.1); disallow list.", "firefox", "casino.example"},
        {"2024-03-01 08:00:02", "WARNING", 0, "Your RSACi settings have been tampered with.", "configurator", ""},
        {"2024-03-01 08:00:03", "", 0, "Quillfence filter loaded", "curl", ""},
        {"2024-03-01 08:00:04", "CUSTOMKIND", 65535, "wide port", "a b c", ""},
        {"2024-03-01 08:00:05", "FETCH", -1, "a text  [with]  brackets", "wget", ""},
        {"2024-03-01 08:00:06", "INFORM", 0, "", "", ""},
    };
    const std::vector<LogDumpEntry> entries = read_exact(kDump);
    ASSERT_EQ(std::size(expected), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(entries[i].readable);
        EXPECT_EQ(expected[i].time, entries[i].time);
        EXPECT_EQ(expected[i].kind, entries[i].kind);
        EXPECT_EQ(expected[i].port, entries[i].port);
        EXPECT_EQ(expected[i].text, entries[i].text);
        EXPECT_EQ(expected[i].program, entries[i].program);
        EXPECT_EQ(expected[i].site, entries[i].site);
    }
}

TEST(LogDump, DamagedOrCutLinesAreKeptWholeAsText) {
    struct Case {
        const char* name;
        const char* line;
        const char* keptText;
    };
    const Case cases[] = {
        {"cut in the time", "2024-03-01 08:0", "2024-03-01 08:0"},
        {"cut before the program", "2024-03-01 08:00:00  BLOCK      80  Violation in site name (x.example)",
         "2024-03-01 08:00:00  BLOCK      80  Violation in site name (x.example)"},
        {"cut inside the program", "2024-03-01 08:00:00  BLOCK      80  text  [fire", "2024-03-01 08:00:00  BLOCK      80  text  [fire"},
        {"letters in the time", "2024-03-0x 08:00:00  BLOCK      80  text  [p]", "2024-03-0x 08:00:00  BLOCK      80  text  [p]"},
        {"no port", "2024-03-01 08:00:00  BLOCK      text  [p]", "2024-03-01 08:00:00  BLOCK      text  [p]"},
        {"port too wide", "2024-03-01 08:00:00  BLOCK    99999999999  text  [p]", "2024-03-01 08:00:00  BLOCK    99999999999  text  [p]"},
        {"kind too long", "2024-03-01 08:00:00  ABCDEFGHIJKLMNOPQ  0  text  [p]", "2024-03-01 08:00:00  ABCDEFGHIJKLMNOPQ  0  text  [p]"},
        {"one blank after the time", "2024-03-01 08:00:00 BLOCK      80  text  [p]", "2024-03-01 08:00:00 BLOCK      80  text  [p]"},
        {"not a log line", "hello", "hello"},
        {"control characters", "\x01\x7f" "ab", "  ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<LogDumpEntry> entries = read_exact(std::string(c.line) + "\r\n");
        ASSERT_EQ(1u, entries.size());
        EXPECT_FALSE(entries[0].readable);
        EXPECT_EQ(c.keptText, entries[0].text);
        EXPECT_EQ("", entries[0].kind);
        EXPECT_EQ("", entries[0].time);
    }
}

TEST(LogDump, LineEndsAndTheLastLine) {
    const std::string line = "2024-03-01 08:00:00  DENY        0  x  [p]";
    struct Case {
        const char* name;
        std::string dump;
        size_t entries;
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"last line without its end", line + "\r\n" + line, 2},
        {"bare newlines", line + "\n" + line + "\n", 2},
        {"blank line kept", line + "\r\n\r\n" + line + "\r\n", 3},
        {"zero byte in a line", line.substr(0, 30) + std::string(1, '\0') + line.substr(31) + "\r\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.entries, read_exact(c.dump).size());
    }
    // A dump cut in the middle of its last line: the whole lines are read, the rest is kept.
    const std::string cut = line + "\r\n" + line.substr(0, 25);
    const std::vector<LogDumpEntry> entries = read_exact(cut);
    ASSERT_EQ(2u, entries.size());
    EXPECT_TRUE(entries[0].readable);
    EXPECT_FALSE(entries[1].readable);
    EXPECT_EQ(line.substr(0, 25), entries[1].text);
}

TEST(LogDumpPath, QuotedWindowsAndLinuxPaths) {
    qf_test::TempMachineRoot root;
    const std::string drive = qf::machine_root() + "/drive_c";
    struct Case {
        const char* argument;
        bool ok;
        std::string linuxPath;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Quillfence\\log\\vtlog-1.txt\"", true, drive + "/Program Files/Quillfence/log/vtlog-1.txt"},
        {"C:\\Program Files\\Quillfence\\log\\vtlog-1.txt", true, drive + "/Program Files/Quillfence/log/vtlog-1.txt"},
        {"c:/x.txt", true, drive + "/x.txt"},
        {"\"/tmp/dump file.txt\"", true, "/tmp/dump file.txt"},
        {"/tmp/dump.txt", true, "/tmp/dump.txt"},
        {"relative/dump.txt", true, "relative/dump.txt"},
        {"\"only opening", true, "\"only opening"},
        {"D:\\dump.txt", false, ""},
        {"\\\\server\\share\\dump.txt", false, ""},
        {"\"\"", false, ""},
        {"", false, ""},
        {nullptr, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument ? c.argument : "(null)");
        std::string path, error;
        EXPECT_EQ(c.ok, logviewer_dump_path(c.argument, path, error)) << error;
        if (c.ok) EXPECT_EQ(c.linuxPath, path);
        else EXPECT_FALSE(error.empty());
    }
}

TEST(LogDumpFile, ReadsTheWholeFileOrSaysWhyNot) {
    qf_test::TempMachineRoot root;
    const std::string file = root.file("dump.txt");
    std::ofstream(file, std::ios::binary) << kDump;
    std::vector<LogDumpEntry> entries;
    std::string error;
    ASSERT_TRUE(logviewer_load_dump(file, entries, error)) << error;
    EXPECT_EQ(7u, entries.size());

    for (const std::string& bad : {root.file("absent.txt"), root.path()}) {
        SCOPED_TRACE(bad);
        error.clear();
        EXPECT_FALSE(logviewer_load_dump(bad, entries, error));
        EXPECT_NE(std::string::npos, error.find(bad)) << error;
        EXPECT_TRUE(entries.empty());
    }
}

}  // namespace
