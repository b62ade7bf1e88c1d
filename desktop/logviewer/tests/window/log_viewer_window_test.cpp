// quillfence-log-viewer on a fixture dump under an X server of the test's own: the rows, the
// kind and text filters, the chart's bars and the site table, read back from the window, and a
// PNG picture of it in the build folder.
#include "program_run.h"

#include "temp_machine_root.h"
#include "xvfb_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <time.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using qf_test::XvfbServer;
using logviewer_test::ProgramRun;
using logviewer_test::ReadFile;
using logviewer_test::RunProgram;
using ::testing::HasSubstr;
using ::testing::Not;

// "YYYY-MM-DD" of the day daysAgo days before today (local time).
std::string day_before_today(int daysAgo) {
    time_t now = time(nullptr);
    tm day;
    localtime_r(&now, &day);
    day.tm_mday -= daysAgo;
    day.tm_hour = 12;
    day.tm_isdst = -1;
    mktime(&day);
    char text[16];
    strftime(text, sizeof(text), "%Y-%m-%d", &day);
    return text;
}

struct Line {
    int daysAgo;
    const char* kind;
    int port;
    const char* text;
    const char* program;
};

// Refusals spread over the last weeks, a few other kinds, one refusal before the chart's period.
const Line kLines[] = {
    {40, "BLOCK", 53, "Violation in site name (old.example)", "firefox"},
    {20, "BLOCK", 53, "Violation in site name (casino.example)", "firefox"},
    {20, "DENY", 80, "casino.example (10.0.0.1); disallowed content encountered previously.", "firefox"},
    {13, "BLOCK", 80, "games.example (10.0.0.7); 4 violations.", "firefox"},
    {13, "BLOCK", 80, "games.example (10.0.0.7); Due to RSACi rating.", "firefox"},
    {13, "BLOCK", 53, "Violation in site name (casino.example)", "chrome"},
    {6, "DENY", 0, "Blocked access as per time management configuration.", "curl"},
    {6, "DENY", 6667, "Chat (IRC) connection to 10.9.9.9.", "irssi"},
    {2, "ALLOW", 80, "school.example (10.0.0.2); allow list.", "firefox"},
    {2, "FETCH", 80, "http://school.example/lessons", "firefox"},
    {1, "WARNING", 0, "Your RSACi settings have been tampered with. The default factory settings will be used.", "configurator"},
    {0, "BLOCK", 80, "casino.example (10.0.0.1); 2 violations.", "firefox"},
    {0, "DENY", 80, "casino.example (10.0.0.1); disallow list.", "firefox"},
    {0, "", 0, "Quillfence filter started", "firefox"},
};
const char kGarbled[] = "this line is not in the log's layout";

std::string dump_line(const Line& line, int serial) {
    char text[600];
    snprintf(text, sizeof(text), "%s %02d:%02d:00  %-7s  %5d  %s  [%s]\r\n", day_before_today(line.daysAgo).c_str(),
             8 + serial / 60, serial % 60, line.kind, line.port, line.text, line.program);
    return text;
}

class LogViewerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(xvfb_.Start(error)) << error;
        std::filesystem::create_directories(root_.file("drive_c/Program Files/Quillfence/log"));
        std::ofstream dump(root_.file("drive_c/Program Files/Quillfence/log/fixture dump.txt"), std::ios::binary);
        int serial = 0;
        for (const Line& line : kLines) {
            dump << dump_line(line, serial++);
            if (serial == 9) dump << kGarbled << "\r\n";
        }
    }

    // Runs the viewer on the fixture with extra arguments; the report of what it showed.
    std::string show(std::vector<std::string> arguments) {
        const std::string report = root_.file("report.txt");
        std::vector<std::string> argv = {QUILLFENCE_LOG_VIEWER, "--test-report", report};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        // As View Log passes it: the Windows path in quotation marks.
        argv.push_back("\"C:\\Program Files\\Quillfence\\log\\fixture dump.txt\"");
        const ProgramRun run = RunProgram(argv, {"DISPLAY=" + xvfb_.display()}, 60);
        EXPECT_TRUE(run.finished) << run.failure << "\n" << run.output;
        EXPECT_EQ(0, run.exitCode) << run.output;
        return ReadFile(report);
    }

    XvfbServer xvfb_;
    qf_test::TempMachineRoot root_;
};

std::string row_of(const Line& line, int serial) {
    char time[40];
    snprintf(time, sizeof(time), "%s %02d:%02d:00", day_before_today(line.daysAgo).c_str(), 8 + serial / 60,
             serial % 60);
    std::string site;
    const std::string text = line.text;
    if (text.rfind("Violation in site name (", 0) == 0) site = text.substr(24, text.size() - 25);
    else if (text.find(" (10.") != std::string::npos) site = text.substr(0, text.find(" (10."));
    else if (text.find("connection to ") != std::string::npos) site = "10.9.9.9";
    return "row " + std::string(time) + "|" + line.kind + "|" + std::to_string(line.port) + "|" + site + "|" +
           line.text + "|" + line.program;
}

TEST_F(LogViewerWindow, ShowsEveryEntryTheChartAndTheSitesOfTheLastFourWeeks) {
    const std::string png = std::string(LOGVIEWER_SCREENSHOT_DIR) + "/log-viewer.png";
    std::filesystem::remove(png);
    const std::string shown = show({"--test-screenshot", png});

    std::string rows;
    int serial = 0;
    for (const Line& line : kLines) {
        rows += row_of(line, serial++) + "\n";
        if (serial == 9) rows += std::string("row ||||") + kGarbled + "|\n";
    }
    EXPECT_THAT(shown, HasSubstr("count 15 of 15 entries\n" + rows)) << shown;
    EXPECT_THAT(shown, HasSubstr("kinds All kinds|BLOCK|DENY|ALLOW|FETCH|WARNING|INFORM|(no kind)\nkind All kinds\n"));
    EXPECT_THAT(shown, HasSubstr("period Blocked and denied, " + day_before_today(27) + " to " + day_before_today(0) +
                                 ": 5 blocked, 4 denied\n"));

    // One bar pair per day with refusals; old.example's day is before the period.
    std::map<int, std::pair<int, int>> perDay;
    for (const Line& line : kLines) {
        if (line.daysAgo > 27) continue;
        if (std::string(line.kind) == "BLOCK") ++perDay[line.daysAgo].first;
        if (std::string(line.kind) == "DENY") ++perDay[line.daysAgo].second;
    }
    std::string bars = "chart days 28 scale 5\n";  // three blocks on one day: a scale of 5
    for (auto it = perDay.rbegin(); it != perDay.rend(); ++it)
        bars += "bar " + day_before_today(it->first) + " " + std::to_string(it->second.first) + " " +
                std::to_string(it->second.second) + "\n";
    EXPECT_THAT(shown, HasSubstr(bars)) << shown;
    EXPECT_THAT(shown, HasSubstr("site casino.example|3|2\nsite games.example|2|0\nsite 10.9.9.9|0|1\n"
                                 "site (no site named)|0|1\n"));
    EXPECT_THAT(shown, Not(HasSubstr("site old.example")));

    EXPECT_GT(std::filesystem::file_size(png), 10000u) << png;
}

TEST_F(LogViewerWindow, KindAndTextFiltersNarrowTheRowsNotTheChart) {
    struct Case {
        std::vector<std::string> arguments;
        const char* kind;
        std::vector<int> rows;  // indexes into kLines
    };
    const Case cases[] = {
        {{"--test-kind", "BLOCK"}, "BLOCK", {0, 1, 3, 4, 5, 11}},
        {{"--test-text", "CASINO"}, "All kinds", {1, 2, 5, 11, 12}},
        {{"--test-kind", "DENY", "--test-text", "casino"}, "DENY", {2, 12}},
        {{"--test-kind", "", "--test-text", "started"}, "(no kind)", {13}},
        {{"--test-text", "firefox 2"}, "All kinds", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string shown = show(c.arguments);
        std::string rows = "count " + std::to_string(c.rows.size()) + " of 15 entries\n";
        for (int i : c.rows) rows += row_of(kLines[i], i) + "\n";
        EXPECT_THAT(shown, HasSubstr(std::string("\nkind ") + c.kind + "\n")) << shown;
        EXPECT_THAT(shown, HasSubstr(rows + "period ")) << shown;
        EXPECT_THAT(shown, HasSubstr(": 5 blocked, 4 denied\n")) << shown;
    }
}

TEST_F(LogViewerWindow, AFileThatCannotBeReadIsSaidAndNothingIsShown) {
    struct Case {
        const char* argument;
        const char* message;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Quillfence\\log\\absent.txt\"", "absent.txt cannot be opened: No such file or directory."},
        {"D:\\log.txt", "The log file D:\\log.txt is not on drive C: of the machine."},
        {"\"\"", "No log file was named."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        const std::string report = root_.file("report.txt");
        std::filesystem::remove(report);
        const ProgramRun run =
            RunProgram({QUILLFENCE_LOG_VIEWER, "--test-report", report, c.argument}, {"DISPLAY=" + xvfb_.display()}, 60);
        ASSERT_TRUE(run.finished) << run.failure;
        EXPECT_EQ(1, run.exitCode);
        EXPECT_THAT(run.output, HasSubstr(c.message));
        EXPECT_THAT(ReadFile(report), HasSubstr(std::string("error The log cannot be shown. ")));
    }
}

}  // namespace
