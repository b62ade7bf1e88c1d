// The report over a table of log lines, and over the real access log of a machine root.
#include "log_report.h"
#include "log_report_render.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "store_root.h"

namespace {

VTLogEntry entry(const char* time, const char* kind, const char* text) {
    VTLogEntry e;
    memset(&e, 0, sizeof(e));
    snprintf(e.time, sizeof(e.time), "%s", time);
    snprintf(e.kind, sizeof(e.kind), "%s", kind);
    snprintf(e.text, sizeof(e.text), "%s", text);
    return e;
}

// Three days around a leap day, ending 2024-03-01.
const std::vector<VTLogEntry> kLog = {
    entry("2024-02-27 23:59:59", "BLOCK", "Violation in site name (old.example)"),  // before the period
    entry("2024-02-28 00:00:00", "BLOCK", "Violation in site name (casino.example)"),
    entry("2024-02-28 10:00:00", "DENY", "casino.example (10.0.0.1); disallowed content encountered previously."),
    entry("2024-02-28 10:00:01", "ALLOW", "school.example (10.0.0.2); allow list."),  // not a refusal
    entry("2024-02-28 10:00:02", "FETCH", "http://school.example/"),
    entry("2024-02-29 09:00:00", "BLOCK", "pages.example (10.0.0.3); 3 violations."),
    entry("2024-02-29 09:00:05", "BLOCK", "PAGES.example (10.0.0.3); Due to RSACi rating."),
    entry("2024-02-29 21:30:00", "DENY", "Blocked access as per time management configuration."),
    entry("2024-03-01 08:00:00", "DENY", "Chat (IRC) connection to 10.9.9.9."),
    entry("2024-03-01 08:00:01", "DENY", "casino.example (10.0.0.1); disallowed content encountered."),
    entry("2024-03-02 00:00:00", "BLOCK", "Violation in site name (future.example)"),  // after today
    entry("2024-02-30 12:00:00", "BLOCK", "Violation in site name (bad-date.example)"),
    entry("garbage", "DENY", "10.0.0.4; disallow list."),
    entry("", "DENY", "10.0.0.5; disallow list."),
};

TEST(LogReportTally, CountsTheRefusalsOfThePeriodPerDayAndPerSite) {
    LogReport report;
    ASSERT_TRUE(TallyLogReport(kLog.data(), kLog.size(), "2024-03-01", 3, report));
    struct Day {
        const char* day;
        int blocks, denials;
    };
    const Day days[] = {{"2024-02-28", 1, 1}, {"2024-02-29", 2, 1}, {"2024-03-01", 0, 2}};
    ASSERT_EQ(3u, report.perDay.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(days[i].day, report.perDay[i].day);
        EXPECT_EQ(days[i].blocks, report.perDay[i].blocks) << days[i].day;
        EXPECT_EQ(days[i].denials, report.perDay[i].denials) << days[i].day;
    }
    EXPECT_EQ(3, report.blocks);
    EXPECT_EQ(4, report.denials);

    struct Site {
        const char* site;
        int blocks, denials;
    };
    const Site sites[] = {{"casino.example", 1, 2}, {"pages.example", 2, 0}, {"10.9.9.9", 0, 1}};
    ASSERT_EQ(3u, report.perSite.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sites[i].site, report.perSite[i].site);
        EXPECT_EQ(sites[i].blocks, report.perSite[i].blocks) << sites[i].site;
        EXPECT_EQ(sites[i].denials, report.perSite[i].denials) << sites[i].site;
    }
    EXPECT_EQ(0, report.withoutSite.blocks);
    EXPECT_EQ(1, report.withoutSite.denials) << "the time management line";
}

TEST(LogReportTally, PeriodsAcrossMonthAndYearEnds) {
    const struct {
        const char* today;
        int days;
        const char* first;
    } cases[] = {{"2024-03-01", 2, "2024-02-29"}, {"2023-03-01", 2, "2023-02-28"}, {"2025-01-01", 1, "2025-01-01"},
                 {"2025-01-01", 2, "2024-12-31"}, {"2000-03-01", 366, "1999-03-02"}};
    for (const auto& c : cases) {
        LogReport report;
        ASSERT_TRUE(TallyLogReport(nullptr, 0, c.today, c.days, report)) << c.today;
        ASSERT_EQ(static_cast<size_t>(c.days), report.perDay.size());
        EXPECT_EQ(c.first, report.perDay.front().day) << c.today << " " << c.days;
        EXPECT_EQ(c.today, report.perDay.back().day);
    }
}

TEST(LogReportTally, RefusesABadPeriod) {
    LogReport report;
    EXPECT_FALSE(TallyLogReport(nullptr, 0, "2024-03-01", 0, report));
    EXPECT_FALSE(TallyLogReport(nullptr, 0, "2024-03-01", kLogReportMaxDays + 1, report));
    EXPECT_FALSE(TallyLogReport(nullptr, 0, "2024-13-01", 7, report));
    EXPECT_FALSE(TallyLogReport(nullptr, 0, "2024-03-01x", 7, report));
}

TEST(LogReportRender, TextAndHtmlHoldTheNumbers) {
    LogReport report;
    ASSERT_TRUE(TallyLogReport(kLog.data(), kLog.size(), "2024-03-01", 3, report));
    const std::string text = LogReportText(report);
    EXPECT_NE(std::string::npos, text.find("2024-02-28 to 2024-03-01 (3 days): 3 blocked, 4 denied")) << text;
    EXPECT_NE(std::string::npos, text.find("2024-02-29          2        1")) << text;
    EXPECT_NE(std::string::npos, text.find("casino.example                                  1        2")) << text;
    EXPECT_NE(std::string::npos, text.find("(no site named)                                 0        1")) << text;

    const std::string html = LogReportHtml(report);
    for (const char* reference : {"http://", "https://", "src=", "<link", "url(", "@import"})
        EXPECT_EQ(std::string::npos, html.find(reference)) << "the page fetches nothing: " << reference;
    EXPECT_NE(std::string::npos, html.find("<td>2024-02-29</td><td class=\"n\">2</td><td class=\"n\">1</td>")) << html;
    EXPECT_NE(std::string::npos, html.find("<td>casino.example</td><td class=\"n\">1</td><td class=\"n\">2</td>"));
    EXPECT_NE(std::string::npos, html.find("<b>3</b> blocked, <b>4</b> denied"));
    EXPECT_NE(std::string::npos, html.find("width:66%\"></span><span class=\"d\" style=\"width:33%"))
        << "the day with the most refusals has the full bar";
}

TEST(LogReportRender, HtmlEscapesWhatTheLogHolds) {
    const std::vector<VTLogEntry> log = {
        entry("2024-03-01 08:00:00", "DENY", "<script>alert(1)</script>&\"' (10.0.0.1); disallowed content encountered.")};
    LogReport report;
    ASSERT_TRUE(TallyLogReport(log.data(), log.size(), "2024-03-01", 1, report));
    const std::string html = LogReportHtml(report);
    EXPECT_EQ(std::string::npos, html.find("<script>"));
    EXPECT_NE(std::string::npos, html.find("&lt;script&gt;alert(1)&lt;/script&gt;&amp;&quot;&#39;")) << html;
}

std::string run(const std::string& command, int& exitCode) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(LogReportProgram, ReportsTheAccessLogOfTheRootAsTextOrHtml) {
    qf_test::StoreRoot root;
    VTLogger_Submit("BLOCK", 53, "Violation in site name (casino.example)");
    VTLogger_Submit("DENY", 80, "casino.example (10.0.0.1); disallowed content encountered previously.");
    VTLogger_Submit("ALLOW", 80, "school.example (10.0.0.2); allow list.");
    VTLogger_Free();

    int code = -1;
    const std::string program = std::string(QUILLFENCE_LOG_REPORT) + " --root '" + root.path() + "'";
    const std::string text = run(program + " --days 2", code);
    EXPECT_EQ(0, code) << text;
    EXPECT_NE(std::string::npos, text.find("(2 days): 1 blocked, 1 denied")) << text;
    EXPECT_NE(std::string::npos, text.find("casino.example                                  1        1")) << text;

    const std::string page = root.file("report.html");
    const std::string said = run(program + " --html '" + page + "'", code);
    EXPECT_EQ(0, code) << said;
    std::ifstream in(page);
    std::stringstream html;
    html << in.rdbuf();
    EXPECT_NE(std::string::npos, html.str().find("(7 days): <b>1</b> blocked, <b>1</b> denied")) << html.str();

    const struct {
        const char* arguments;
        int code;
    } refusals[] = {{" --days 0", 2}, {" --days 3661", 2}, {" --days 7x", 2}, {" --days", 2}, {" --days 2 --days 3", 2},
                    {" --colour", 2}, {" --html ''", 2}};
    for (const auto& r : refusals) {
        const std::string out = run(program + r.arguments, code);
        EXPECT_EQ(r.code, code) << r.arguments << ": " << out;
    }
    run(std::string(QUILLFENCE_LOG_REPORT) + " --root '" + root.file("nowhere") + "'", code);
    EXPECT_EQ(1, code) << "no machine root there";
}

}  // namespace
