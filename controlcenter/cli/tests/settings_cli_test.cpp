// The settings commands against a seeded machine root: what they show, what they store, and that
// the filter of the next program loads it.
#include "cli_test_support.h"

#include <vtlogger.h>
#include <vtrsac.h>

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace cli_test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// What the filter would load from the root, as quillfence-machine policy prints it.
std::string loaded_policy(const QuillfenceCli& test) {
    const std::string out = test.root_.file("policy.txt");
    const std::string command =
        "'" + std::string(QUILLFENCE_MACHINE) + "' policy --root '" + test.root_.path() + "' >'" + out + "' 2>&1";
    EXPECT_EQ(0, std::system(command.c_str()));
    return read_file(out);
}

TEST_F(QuillfenceCli, TopicsAreSelectedByNumberAndTheNextFilterLoadsThem) {
    CliRun shown = run_cli("topics " + root_option());
    EXPECT_EQ(0, shown.exitCode) << shown.err;
    EXPECT_THAT(shown.out, StartsWith(" 1 [x] Pornography\n 2 [ ] Violence and Weapons\n"));

    CliRun select = change("topics --select 2 4");
    EXPECT_EQ(0, select.exitCode) << select.err;
    EXPECT_THAT(select.out, StartsWith(" 1 [ ] Pornography\n 2 [x] Violence and Weapons\n 3 [ ] Hate and Intolerance\n"
                                       " 4 [x] Gambling\n"));
    const std::string policy = loaded_policy(*this);
    EXPECT_THAT(policy, HasSubstr("[x]  1  Violence and Weapons"));
    EXPECT_THAT(policy, HasSubstr("[ ]  0  Pornography"));

    EXPECT_EQ(1, change("topics --select 9").exitCode) << "the factory list has eight topics";
    CliRun bad = change("topics --select two");
    EXPECT_EQ(2, bad.exitCode);
    EXPECT_THAT(bad.err, StartsWith("quillfence: not a topic number: 'two'\n"));

    CliRun factory = change("topics --factory");
    EXPECT_EQ(0, factory.exitCode) << factory.err;
    EXPECT_THAT(factory.out, StartsWith(" 1 [x] Pornography\n 2 [ ] Violence"));
}

TEST_F(QuillfenceCli, ProtocolsAreBlockedByPort) {
    CliRun block = change("protocols --block 6667 21 --allow 80");
    EXPECT_EQ(0, block.exitCode) << block.err;
    EXPECT_THAT(block.out, HasSubstr(" 6667 blocked Chat (IRC)\n"));
    EXPECT_THAT(block.out, HasSubstr("   21 blocked File transfer (FTP)\n"));
    EXPECT_THAT(block.out, HasSubstr("   80 allowed World Wide Web (HTTP)\n"));
    EXPECT_THAT(loaded_policy(*this), HasSubstr("blocked   6667  Chat (IRC)"));

    CliRun unknown = change("protocols --block 8080");
    EXPECT_EQ(1, unknown.exitCode);
    EXPECT_EQ("quillfence: there is no protocol rule for port 8080\n", unknown.err);
}

TEST_F(QuillfenceCli, RatingLimitsAreSetPerCategoryWithTheDialogsLevelTexts) {
    CliRun rsaci = change("rsaci --enable --sex 3 --language 1");
    EXPECT_EQ(0, rsaci.exitCode) << rsaci.err;
    EXPECT_EQ(
        "RSACi ratings: filtered\n"
        "  Language  Level 1 : Mild expletives\n"
        "  Violence  Level 0 : No violence\n"
        "  Sex       Level 3 : Non-explicit touching\n"
        "  Nudity    Level 0 : None\n",
        rsaci.out);
    RsacSettings stored{};
    ASSERT_EQ(1, vtrsac_read(&stored));
    EXPECT_EQ(3, stored.sexLevel);
    EXPECT_EQ(1, stored.languageLevel);
    EXPECT_EQ(1, stored.enabled);

    EXPECT_EQ(2, change("rsaci --nudity 5").exitCode);
    EXPECT_EQ(2, change("rsaci --sex").exitCode);

    CliRun safesurf = change("safesurf --enable --age-range 9 --sex-violence-and-profanity 8");
    EXPECT_EQ(0, safesurf.exitCode) << safesurf.err;
    EXPECT_THAT(safesurf.out, StartsWith("SafeSurf ratings: filtered\n  Age Range                    Level 9 : Explicitly for Adults\n"
                                         "  Violence                     Level 1 : Subtle Innuendo\n"));
    EXPECT_THAT(safesurf.out, HasSubstr("  Sex, Violence and Profanity  Level 8 : Explicitly Vulgarity\n"));
}

TEST_F(QuillfenceCli, TimesFollowTheTimeManagersRules) {
    struct Step {
        const char* arguments;
        int exitCode;
        const char* err;
    };
    const Step steps[] = {
        {"times delete week 00:00 23:59", 2, "quillfence: not a day: 'week'\n"},
        {"times delete Monday 00:00 23:59", 0, ""},
        {"times insert mon 08:00 09:00", 0, ""},
        {"times insert Monday 09:00 10:00", 0, ""},
        {"times insert Monday 09:30 10:30", 1,
         "quillfence: Overlaped time period has been detected, please ensure that time periods do not overlap.\n"},
        {"times insert Monday 11:00 11:00", 1, "quillfence: Begin time has to be before end time\n"},
        {"times insert Monday 11:15 12:00", 2,
         "quillfence: not a begin time: '11:15' (00:00 to 23:30 on the half hour)\n"},
        {"times insert week 12:00 13:00", 1,
         "quillfence: Overlaped time period has been detected, please ensure that time periods do not overlap.\n"},
        {"times delete Monday 08:00 09:00", 1, "quillfence: there is no allowed period Monday 08:00 to 09:00\n"},
        {"times warning 10", 0, ""},
        {"times warning 7", 2, "quillfence: times warning needs 5, 10 or 15\n"},
        {"times enable on", 0, ""},
    };
    for (const Step& step : steps) {
        CliRun run = change(step.arguments);
        EXPECT_EQ(step.exitCode, run.exitCode) << step.arguments << "\n" << run.err;
        if (step.exitCode != 0) EXPECT_THAT(run.err, StartsWith(step.err)) << step.arguments;
    }
    CliRun shown = run_cli("times " + root_option());
    EXPECT_EQ(
        "time management: on\n"
        "warning: 10 minutes before the end of an allowed period\n"
        "allowed:\n"
        "  Sunday    00:00 to 23:59\n"
        "  Monday    08:00 to 10:00\n"
        "  Tuesday   00:00 to 23:59\n"
        "  Wednesday 00:00 to 23:59\n"
        "  Thursday  00:00 to 23:59\n"
        "  Friday    00:00 to 23:59\n"
        "  Saturday  00:00 to 23:59\n",
        shown.out);
    EXPECT_THAT(loaded_policy(*this), HasSubstr("  Monday    ................####...."));
}

TEST_F(QuillfenceCli, AChangeNeedsThePasswordAndAWrongOneChangesNothing) {
    const std::string before = run_cli("protocols " + root_option()).out;
    CliRun wrong = run_cli("protocols --block 6667 --password-stdin " + root_option(), "", "wrong\n");
    EXPECT_EQ(1, wrong.exitCode);
    EXPECT_EQ("quillfence: Password Incorrect\n", wrong.err);
    EXPECT_EQ(before, run_cli("protocols " + root_option()).out);
    EXPECT_EQ(1, run_cli("times enable on " + root_option()).exitCode) << "no terminal, no --password-stdin";
}

TEST_F(QuillfenceCli, ADamagedStoreIsReportedRestoredAndLogged) {
    // The RSACi store, made unreadable.
    HANDLE file = CreateFileA("C:\\Program Files\\Quillfence\\db\\rsac.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "junk", 4, &written, nullptr));
    CloseHandle(file);

    CliRun shown = run_cli("rsaci " + root_option());
    EXPECT_EQ(0, shown.exitCode);
    EXPECT_EQ(
        "quillfence: An error occurred while retrieving your current RSACi settings.\nThis will now default to the "
        "original factory settings.\n",
        shown.err);
    EXPECT_THAT(shown.out, StartsWith("RSACi ratings: not filtered\n"));
    EXPECT_THAT(log_lines(), ::testing::Contains(
                                 "WARNING Your RSACi settings have been tampered with. The default factory settings will be used."));
}

}  // namespace
}  // namespace cli_test
