// The viewer's filters and its counts of the last weeks, over a small dump.
#include "log_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;

const char kDump[] =
    "2024-02-02 23:59:59  BLOCK      53  Violation in site name (old.example)  [firefox]\r\n"  // before the 4 weeks
    "2024-02-28 10:00:00  BLOCK      53  Violation in site name (casino.example)  [firefox]\r\n"
    "2024-02-28 10:00:01  DENY       80  casino.example (10.0.0.1); disallow list.  [firefox]\r\n"
    "2024-02-29 11:00:00  ALLOW      80  school.example (10.0.0.2); allow list.  [firefox]\r\n"
    "2024-02-29 11:00:01  FETCH      80  http://school.example/  [firefox]\r\n"
    "2024-03-01 07:00:00  DENY        0  Blocked access as per time management configuration.  [curl]\r\n"
    "2024-03-01 07:30:00  BLOCK      80  Casino.Example (10.0.0.1); 3 violations.  [curl]\r\n"
    "garbled BLOCK line\r\n"
    "2024-03-01 08:00:00             0  Filter loaded  [curl]\r\n";

std::vector<LogDumpEntry> entries() { return logviewer_read_dump(kDump, sizeof(kDump) - 1); }

TEST(LogViewFilter, ByKindAndByTextWithoutRegardToCase) {
    struct Case {
        const char* name;
        LogViewFilter filter;
        std::vector<size_t> shown;
    };
    const Case cases[] = {
        {"everything", {}, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"blocks", {false, "BLOCK", ""}, {0, 1, 6}},
        {"lines without a kind, the unreadable one among them", {false, "", ""}, {7, 8}},
        {"text in any case", {true, "", "CASINO"}, {1, 2, 6}},
        {"text and kind", {false, "DENY", "casino"}, {2}},
        {"the program", {true, "", "curl"}, {5, 6, 8}},
        {"the time", {true, "", "2024-02-29"}, {3, 4}},
        {"the port", {true, "", "53"}, {0, 1}},
        {"the unreadable line's text", {true, "", "garbled"}, {7}},
        {"nothing", {true, "", "no such text"}, {}},
        {"a kind the dump lacks", {false, "INFORM", ""}, {}},
    };
    const std::vector<LogDumpEntry> all = entries();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.shown, logviewer_filter(all, c.filter));
    }
}

TEST(LogViewKinds, TheLoggersKindsThenOthersThenNone) {
    EXPECT_THAT(logviewer_kinds(entries()), ElementsAre("BLOCK", "DENY", "ALLOW", "FETCH", "WARNING", "INFORM", ""));
    const char other[] = "2024-03-01 08:00:00  NEWKIND     0  x  [p]\r\n";
    EXPECT_THAT(logviewer_kinds(logviewer_read_dump(other, sizeof(other) - 1)),
                ElementsAre("BLOCK", "DENY", "ALLOW", "FETCH", "WARNING", "INFORM", "NEWKIND"));
}

TEST(LogViewSummary, BlocksAndDenialsOfTheLastWeeksPerDayAndSite) {
    LogReport report;
    ASSERT_TRUE(logviewer_summary(entries(), "2024-03-01", 4, report));
    // 4 weeks: 2024-02-03 to 2024-03-01.
    ASSERT_EQ(28u, report.perDay.size());
    EXPECT_EQ("2024-02-03", report.perDay.front().day);
    EXPECT_EQ("2024-03-01", report.perDay.back().day);
    const LogReportDay& feb28 = report.perDay[25];
    const LogReportDay& mar1 = report.perDay[27];
    EXPECT_EQ("2024-02-28", feb28.day);
    EXPECT_EQ(1, feb28.blocks);
    EXPECT_EQ(1, feb28.denials);
    EXPECT_EQ(1, mar1.blocks);
    EXPECT_EQ(1, mar1.denials);
    EXPECT_EQ(2, report.blocks);
    EXPECT_EQ(2, report.denials);
    ASSERT_EQ(1u, report.perSite.size());  // one site, whatever the case of its name
    EXPECT_EQ("casino.example", report.perSite[0].site);
    EXPECT_EQ(2, report.perSite[0].blocks);
    EXPECT_EQ(1, report.perSite[0].denials);
    EXPECT_EQ(1, report.withoutSite.denials);  // the time management line
    EXPECT_EQ(0, report.withoutSite.blocks);  // the garbled line is not counted

    ASSERT_TRUE(logviewer_summary(entries(), "2024-03-01", 1, report));
    EXPECT_EQ(7u, report.perDay.size());
    EXPECT_EQ("2024-02-24", report.perDay.front().day);

    for (int weeks : {0, -1, kLogViewMaxWeeks + 1}) EXPECT_FALSE(logviewer_summary(entries(), "2024-03-01", weeks, report));
    EXPECT_FALSE(logviewer_summary(entries(), "not a day", 4, report));
}

}  // namespace
