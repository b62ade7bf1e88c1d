// The admin command line, run as a program against temporary machine roots.
#include "catalog_listing.h"
#include "cli_test_support.h"
#include <wide_text.h>

#include <chain_guid.h>
#include <http_test_server.h>
#include <machine.h>
#include "filtering_state.h"
#include <password_store.h>
#include <temp_machine_root.h>

#include <vtlogger.h>
#include <vttray.h>
#include <ws2spi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace cli_test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const char kUsageLine[] =
    "usage: quillfence COMMAND [ARGS...] [--root DIR] [--password-stdin] (quillfence --help lists the commands)\n";

const char kFreshStatus[] =
    "filtering: off\n"
    "1001 \"MSAFD Tcpip [TCP/IP]\" chain 1001\n"
    "1002 \"MSAFD Tcpip [UDP/IP]\" chain 1002\n"
    "1003 \"MSAFD Tcpip [RAW/IP]\" chain 1003\n";

TEST_F(QuillfenceCli, StatusOfAFreshMachineSaysOffAndListsTheBaseEntries) {
    CliRun run = run_cli("status " + root_option());
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ(kFreshStatus, run.out);
    EXPECT_EQ("", run.err);
}

TEST_F(QuillfenceCli, EnableSwitchesOnAndStatusShowsTheChainsInFront) {
    CliRun enable = switch_cli("enable");
    EXPECT_EQ(0, enable.exitCode) << enable.err;
    EXPECT_THAT(enable.out, StartsWith("Scanning Installed Providers\n"));
    EXPECT_THAT(enable.out, EndsWith("Press any key to continue...\nfiltering: on\n"));
    EXPECT_TRUE(IsFilteringOn());

    CliRun status = run_cli("status " + root_option());
    EXPECT_EQ(0, status.exitCode) << status.err;
    EXPECT_EQ(
        "filtering: on\n"
        "1005 \"LAYERED MSAFD Tcpip [TCP/IP]\" chain 1004 1001\n"
        "1006 \"LAYERED MSAFD Tcpip [UDP/IP]\" chain 1004 1002\n"
        "1007 \"LAYERED MSAFD Tcpip [RAW/IP]\" chain 1004 1003\n"
        "1001 \"MSAFD Tcpip [TCP/IP]\" chain 1001\n"
        "1002 \"MSAFD Tcpip [UDP/IP]\" chain 1002\n"
        "1003 \"MSAFD Tcpip [RAW/IP]\" chain 1003\n"
        "1004 \"LAYERED_VTLSP\" layered\n",
        status.out);
}

TEST_F(QuillfenceCli, EnableAndDisableDoNothingWhenFilteringIsAlreadyInThatState) {
    CliRun disable = switch_cli("disable");
    EXPECT_EQ(0, disable.exitCode);
    EXPECT_EQ("filtering is already off\n", disable.out);
    EXPECT_EQ(kFreshStatus, run_cli("status " + root_option()).out);

    ASSERT_EQ(0, switch_cli("enable").exitCode);
    const std::string enabled = run_cli("status " + root_option()).out;
    CliRun again = switch_cli("enable");
    EXPECT_EQ(0, again.exitCode);
    EXPECT_EQ("filtering is already on\n", again.out);
    EXPECT_EQ(enabled, run_cli("status " + root_option()).out) << "no second set of chains";
}

TEST_F(QuillfenceCli, DisableRestoresTheCatalogAndEachSwitchIsLoggedAndShownInTheTray) {
    ASSERT_EQ(0, switch_cli("enable").exitCode);
    EXPECT_EQ(1, VTTray_FilterState());
    CliRun disable = switch_cli("disable");
    EXPECT_EQ(0, disable.exitCode) << disable.err;
    EXPECT_THAT(disable.out, StartsWith("Removing Installed Layered Providers\n"));
    EXPECT_THAT(disable.out, EndsWith("filtering: off\n"));
    EXPECT_EQ(kFreshStatus, run_cli("status " + root_option()).out);
    EXPECT_EQ(0, VTTray_FilterState());
    EXPECT_EQ((std::vector<std::string>{
                  "INFORM Quillfence has been enabled. Communications will be filtered.",
                  "WARNING Quillfence has been disabled. All communications allowed without filtering and blocking.",
              }),
              log_lines());
}

TEST_F(QuillfenceCli, LogPrintsEveryEntryOldestFirstAlsoPastOnePageOfReading) {
    VTLogger_Free();  // the log of this test's root, written and closed before the program reads it
    for (int i = 1; i <= 70; ++i) ASSERT_EQ(1, VTLogger_Submit("BLOCK", 80, ("entry " + std::to_string(i)).c_str()));
    VTLogger_Free();
    CliRun log = run_cli("log " + root_option());
    EXPECT_EQ(0, log.exitCode) << log.err;
    std::vector<std::string> texts;
    std::istringstream lines(log.out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_THAT(line, HasSubstr(" BLOCK      80 entry "));
        texts.push_back(line.substr(line.find("entry "), line.find(" [") - line.find("entry ")));
    }
    ASSERT_EQ(70u, texts.size()) << log.out << log.err;
    EXPECT_EQ("entry 1", texts.front());
    EXPECT_EQ("entry 70", texts.back());
}

TEST_F(QuillfenceCli, LogShowIsLogAndLogEraseNeedsYesAndThePassword) {
    VTLogger_Free();
    ASSERT_EQ(1, VTLogger_Submit("BLOCK", 80, "kept entry"));
    ASSERT_EQ(1, VTLogger_Submit("INFORM", 0, "other entry"));
    VTLogger_Free();
    CliRun log = run_cli("log " + root_option());
    CliRun show = run_cli("log show " + root_option());
    EXPECT_EQ(0, show.exitCode) << show.err;
    EXPECT_EQ(log.out, show.out);
    EXPECT_THAT(show.out, HasSubstr("kept entry"));

    CliRun unconfirmed = run_cli("log erase --password-stdin " + root_option(), "", std::string(kPassword) + "\n");
    EXPECT_EQ(2, unconfirmed.exitCode);
    EXPECT_THAT(unconfirmed.err, StartsWith("quillfence: log erase needs --yes (it erases the whole access log)\n"));
    CliRun wrong = run_cli("log erase --yes --password-stdin " + root_option(), "", "wrong\n");
    EXPECT_EQ(1, wrong.exitCode);
    EXPECT_EQ("quillfence: Password Incorrect\n", wrong.err);
    EXPECT_EQ(2u, log_lines().size());

    CliRun erase = run_cli("log erase --yes --password-stdin " + root_option(), "", std::string(kPassword) + "\n");
    EXPECT_EQ(0, erase.exitCode) << erase.err;
    EXPECT_EQ("the access log is erased\n", erase.out);
    EXPECT_TRUE(log_lines().empty());
    EXPECT_EQ("", run_cli("log show " + root_option()).out);
    VTLogger_Free();  // later tests read the log of their own root
}

TEST_F(QuillfenceCli, LogReportCountsTheBlocksPerSiteAsTextOrAnHtmlPage) {
    VTLogger_Free();
    ASSERT_EQ(1, VTLogger_Submit("BLOCK", 53, "Violation in site name (casino.example)"));
    ASSERT_EQ(1, VTLogger_Submit("BLOCK", 80, "pages.example (10.0.0.3); 3 violations."));
    ASSERT_EQ(1, VTLogger_Submit("FETCH", 80, "http://pages.example/"));
    VTLogger_Free();
    CliRun text = run_cli("log report --days 2 " + root_option());
    EXPECT_EQ(0, text.exitCode) << text.err;
    EXPECT_THAT(text.out, HasSubstr("(2 days): 2 blocked, 0 denied"));
    EXPECT_THAT(text.out, HasSubstr("casino.example"));

    const std::string page = root_.file("report.html");
    CliRun html = run_cli("log report --html '" + page + "' " + root_option());
    EXPECT_EQ(0, html.exitCode) << html.err;
    EXPECT_EQ("report written to " + page + "\n", html.out);
    EXPECT_THAT(read_file(page), HasSubstr("pages.example"));

    EXPECT_EQ(2, run_cli("log report --days 0 " + root_option()).exitCode);
    EXPECT_EQ(2, run_cli("log report --weeks 2 " + root_option()).exitCode);
    VTLogger_Free();
}

std::string file_bytes(const std::string& path) { return read_file(path); }

// The update server's four files for an update whose topic list is the machine's own.
void serve_update(qf_test::HttpTestServer& server, const std::string& topicList) {
    server.answer("/downloads/filters/v2/dload0.dd0",
                  qf_test::HttpAnswer(200, "1000\n200\n" + std::to_string(topicList.size()) + "\n"));
    server.answer("/downloads/filters/v2/dload1.dd1", qf_test::HttpAnswer(200, std::string(1000, 'd')));
    server.answer("/downloads/filters/v2/dload2.dd2", qf_test::HttpAnswer(200, std::string(200, 'i')));
    server.answer("/downloads/filters/v2/dload3.dd3", qf_test::HttpAnswer(200, topicList));
}

void set_update_server(const std::string& server) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Marrowby\\Quillfence\\2.2", 0,
                                           KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "UpdateServer", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(server.c_str()),
                                            static_cast<DWORD>(server.size() + 1)));
    RegCloseKey(key);
}

TEST_F(QuillfenceCli, UpdateInstallsTheFilterUpdateBehindThePassword) {
    qf_test::HttpTestServer server;
    set_update_server(server.address());
    const std::string dictionary = root_.file("drive_c/Program Files/Quillfence/db/dict1/worddict.dat");
    const std::string factoryDictionary = file_bytes(dictionary);
    serve_update(server, file_bytes(root_.file("drive_c/WINDOWS/SYSTEM32/ixplor64.dll")));

    CliRun wrong = run_cli("update --password-stdin " + root_option(), "", "wrong\n");
    EXPECT_EQ(1, wrong.exitCode);
    EXPECT_EQ("quillfence: Password Incorrect\n", wrong.err);
    EXPECT_TRUE(server.requests().empty());

    CliRun update = run_cli("update --password-stdin " + root_option(), "", std::string(kPassword) + "\n");
    EXPECT_EQ(0, update.exitCode) << update.err;
    EXPECT_EQ("", update.err);
    EXPECT_EQ("downloading 2004 bytes\ndownloaded 25%\ndownloaded 50%\ndownloaded 75%\ndownloaded 100%\n"
              "Filter update successfully completed.\nPlease review your selections from the filter topic list.\n",
              update.out);
    EXPECT_EQ(std::string(1000, 'd'), file_bytes(dictionary));
    ASSERT_EQ(4u, server.requests().size());
    EXPECT_THAT(server.requests()[0].headerLines, ::testing::Contains("User-Agent: quillfence"));
    EXPECT_NE(factoryDictionary, file_bytes(dictionary));
}

TEST_F(QuillfenceCli, AnUpdateThatFailsShowsTheMessagesAndExitsWithOne) {
    set_update_server("127.0.0.1:" + std::to_string(qf_test::unused_loopback_port()));
    CliRun update = run_cli("update --password-stdin " + root_option(), "", std::string(kPassword) + "\n");
    EXPECT_EQ(1, update.exitCode);
    EXPECT_EQ("", update.out);
    EXPECT_THAT(update.err, StartsWith("quillfence: Couldn't connect to server"));
    EXPECT_THAT(update.err, EndsWith("\nquillfence: Error updating filter.\nPlease retry later.\n"));
}

TEST_F(QuillfenceCli, TheRootOptionWinsOverTheEnvironmentWhichWinsOverTheDefault) {
    qf_test::TempMachineRoot other;  // now named by QUILLFENCE_ROOT
    std::string error;
    ASSERT_TRUE(qf::machine_init(other.path(), error)) << error;

    ASSERT_EQ(0, switch_cli("enable").exitCode);
    EXPECT_THAT(run_cli("status").out, StartsWith("filtering: off\n")) << "the environment's root is untouched";
    EXPECT_THAT(run_cli("status --root='" + root_.path() + "'").out, StartsWith("filtering: on\n"));

    // Without either, the default root under $XDG_DATA_HOME.
    CliRun fallback = run_cli("status", "env -u QUILLFENCE_ROOT XDG_DATA_HOME='" + other.path() + "/nowhere'");
    EXPECT_EQ(1, fallback.exitCode);
    EXPECT_THAT(fallback.err, HasSubstr("there is no machine root at " + other.path() + "/nowhere/quillfence"));
}

TEST_F(QuillfenceCli, AMissingRootIsRefusedAndNotCreated) {
    const std::string missing = root_.path() + "/no-such-root";
    CliRun run = run_cli("enable --root '" + missing + "'");
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("quillfence: there is no machine root at " + missing + " (create it with: quillfence-machine init --root " +
                  missing + ")\n",
              run.err);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(QuillfenceCli, BadUsageShowsTheUsageLineAndExitsWithTwo) {
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"", "quillfence: a command is needed\n"},
        {"start", "quillfence: unknown command 'start'\n"},
        {"status extra", "quillfence: unexpected argument 'extra'\n"},
        {"enable --force", "quillfence: unexpected argument '--force'\n"},
        {"disable --root", "quillfence: --root needs a directory\n"},
        {"status --root=", "quillfence: --root needs a directory\n"},
        {"status --root /a --root /b", "quillfence: --root is given twice\n"},
        {"status --password-stdin", "quillfence: --password-stdin is for the commands that change something\n"},
        {"status --yes", "quillfence: unexpected argument '--yes'\n"},
        {"log show extra", "quillfence: unexpected argument 'extra'\n"},
        {"log erase", "quillfence: log erase needs --yes (it erases the whole access log)\n"},
        {"log erase --yes extra", "quillfence: unexpected argument 'extra'\n"},
        {"update now", "quillfence: unexpected argument 'now'\n"},
        {"list", "quillfence: list needs LIST\n"},
        {"add disallow", "quillfence: add needs LIST and TEXT\n"},
        {"remove words badword", "quillfence: unknown list 'words' (disallow, allow or search)\n"},
        {"add disallow one two", "quillfence: unexpected argument 'two'\n"},
    };
    for (const Case& c : cases) {
        CliRun run = run_cli(c.arguments);
        EXPECT_EQ(2, run.exitCode) << c.arguments;
        EXPECT_EQ(std::string(c.message) + kUsageLine, run.err)
            << c.arguments;
        EXPECT_EQ("", run.out) << c.arguments;
    }
    EXPECT_EQ(kFreshStatus, run_cli("status " + root_option()).out) << "nothing was switched";
}

TEST_F(QuillfenceCli, HelpGoesToStandardOutputWithExitZero) {
    CliRun run = run_cli("--help");
    EXPECT_EQ(0, run.exitCode);
    EXPECT_THAT(run.out, StartsWith("usage: quillfence COMMAND [ARGS...] [--root DIR] [--password-stdin]\n"));
    EXPECT_THAT(run.out, HasSubstr("\n  times [show] "));

    CliRun one = run_cli("rsaci --help");
    EXPECT_EQ(0, one.exitCode);
    EXPECT_THAT(one.out, HasSubstr("  rsaci [--enable|--disable]"));
    EXPECT_THAT(one.out, Not(HasSubstr("  times")));
}

TEST_F(QuillfenceCli, AnEnableThatFailsSaysSoAndExitsWithOne) {
    // A stale layered entry of ours makes the installation fail; it is undone.
    WSAPROTOCOL_INFOW stale{};
    stale.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    stale.iAddressFamily = AF_INET;
    const WCHAR path[] = {'v', 't', 'l', 's', 'p', '.', 'd', 'l', 'l', 0};
    GUID id = kLayeredProviderId;
    INT error = 0;
    ASSERT_EQ(0, WSCInstallProvider(&id, path, &stale, 1, &error));

    CliRun run = switch_cli("enable");
    EXPECT_EQ(1, run.exitCode);
    EXPECT_THAT(run.out, HasSubstr("The layered provider cannot be installed (error 11003).\n"));
    EXPECT_EQ("quillfence: filtering could not be switched on: it stays off (see the lines above)\n", run.err);
    EXPECT_THAT(run_cli("status " + root_option()).out, StartsWith("filtering: off\n"));
}

TEST_F(QuillfenceCli, ADisableThatFailsSaysSoAndExitsWithOne) {
    ASSERT_EQ(0, switch_cli("enable").exitCode);
    HKEY key;
    const std::string held = std::string(kProviderKey) + "\\00000000-e0af-11d4-9508-0000e8708fed\\held";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, held.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);

    CliRun run = switch_cli("disable");
    EXPECT_EQ(1, run.exitCode);
    EXPECT_THAT(run.out, HasSubstr("removal stops here.\n"));
    EXPECT_EQ("quillfence: filtering could not be switched off: it stays on (see the lines above)\n", run.err);
    EXPECT_THAT(run_cli("status " + root_option()).out, StartsWith("filtering: on\n"));
}

TEST_F(QuillfenceCli, ADamagedCatalogIsReportedAndNeitherStatusNorEnableClaimsAnything) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9",
                            0, KEY_ALL_ACCESS, &key));
    const BYTE garbage[] = {1, 2, 3};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Catalog_Entries", 0, REG_BINARY, garbage, sizeof(garbage)));
    RegCloseKey(key);

    CliRun status = run_cli("status " + root_option());
    EXPECT_EQ(1, status.exitCode);
    EXPECT_EQ("", status.out);
    EXPECT_EQ("quillfence: the Winsock catalog cannot be read (error 11003)\n", status.err);

    CliRun enable = switch_cli("enable");
    EXPECT_EQ(1, enable.exitCode);
    EXPECT_THAT(enable.out, HasSubstr("The layered provider cannot be installed (error 11003).\n"));
    EXPECT_FALSE(IsFilteringOn());
}

// The 16 bytes of the password file, read through the Windows file calls.
std::string password_file() {
    HANDLE file = CreateFileA("C:\\Program Files\\Quillfence\\bin\\vterr32.dll", GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    char buffer[64];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof(buffer), &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

TEST_F(QuillfenceCli, PasswdSetsTheFirstPasswordAsTheControlCenterWritesIt) {
    ASSERT_EQ(PWS_WRITTEN, StorePassword("first-pw"));
    const std::string controlCenterFile = password_file();
    ASSERT_TRUE(DeleteFileA("C:\\Program Files\\Quillfence\\bin\\vterr32.dll"));

    CliRun run = run_cli("passwd --password-stdin " + root_option(), "", "first-pw\nfirst-pw\n");
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("the Control Center password is set\n", run.out);
    EXPECT_EQ(controlCenterFile, password_file());
    EXPECT_EQ(PWS_MATCH, VerifyPassword("first-pw"));
}

TEST_F(QuillfenceCli, PasswdJudgesEachAnswerAsThePasswordDialogsDo) {
    struct Case {
        bool first;  // no password set yet
        const char* input;
        const char* err;
    };
    const Case cases[] = {
        {true, "one\ntwo\n", "quillfence: First Password not the same as second.\n"},
        {true, "\n\n", "quillfence: Password cannot be empty.\n"},
        {true, "one\n", "quillfence: standard input ended before the password\n"},
        {true, "abcdefghijklmnopqrstuvwxyz123\n", "quillfence: Password cannot be longer than 28 characters.\n"},
        {false, "wrong\nnew-pw\nnew-pw\n", "quillfence: Current Password is Incorrect.\n"},
        {false, "parent-pw\nparent-pw\nparent-pw\n", "quillfence: New password is same as the old password.\n"},
        {false, "parent-pw\nnew-pw\nnew-px\n", "quillfence: please re-confirm new password\n"},
        {false, "\n\n\n",
         "quillfence: Current password is required\nNew password is required\nNew confirmed password is required\n"},
    };
    for (const Case& c : cases) {
        if (c.first) DeleteFileA("C:\\Program Files\\Quillfence\\bin\\vterr32.dll");
        else ASSERT_EQ(PWS_WRITTEN, StorePassword(kPassword));
        CliRun run = run_cli("passwd --password-stdin " + root_option(), "", c.input);
        EXPECT_EQ(1, run.exitCode) << c.input;
        EXPECT_EQ(c.err, run.err) << c.input;
        if (c.first) EXPECT_FALSE(PasswordFileOpens()) << c.input;
        else EXPECT_EQ(PWS_MATCH, VerifyPassword(kPassword)) << c.input;
    }

    CliRun change = run_cli("passwd --password-stdin " + root_option(), "", "parent-pw\nnew-pw\nnew-pw\n");
    EXPECT_EQ(0, change.exitCode) << change.err;
    EXPECT_EQ("the Control Center password is changed\n", change.out);
    EXPECT_EQ(PWS_MATCH, VerifyPassword("new-pw"));
}

TEST_F(QuillfenceCli, EnableAndDisableNeedThePassword) {
    CliRun wrong = run_cli("enable --password-stdin " + root_option(), "", "wrong\n");
    EXPECT_EQ(1, wrong.exitCode);
    EXPECT_EQ("quillfence: Password Incorrect\n", wrong.err);
    EXPECT_EQ("", wrong.out);

    CliRun noTerminal = run_cli("enable " + root_option());
    EXPECT_EQ(1, noTerminal.exitCode);
    EXPECT_EQ("quillfence: standard input is not a terminal: give the password on it with --password-stdin\n",
              noTerminal.err);
    EXPECT_FALSE(IsFilteringOn());

    ASSERT_EQ(0, switch_cli("enable").exitCode);
    CliRun disable = run_cli("disable --password-stdin " + root_option(), "", "parent-px\n");
    EXPECT_EQ(1, disable.exitCode);
    EXPECT_TRUE(IsFilteringOn());

    ASSERT_TRUE(DeleteFileA("C:\\Program Files\\Quillfence\\bin\\vterr32.dll"));
    CliRun unset = switch_cli("disable");
    EXPECT_EQ(1, unset.exitCode);
    EXPECT_EQ("quillfence: no Control Center password is set yet: set one with quillfence passwd\n", unset.err);
    EXPECT_TRUE(IsFilteringOn());
    EXPECT_EQ((std::vector<std::string>{"INFORM Quillfence has been enabled. Communications will be filtered."}),
              log_lines());
}

TEST_F(QuillfenceCli, ListsAreChangedWithTheInsertDialogsRulesAndMessages) {
    struct Case {
        const char* arguments;
        int exitCode;
        const char* out;
        const char* err;
    };
    const Case cases[] = {
        {"add disallow BadSite.com", 0, "added to the disallow list as a site: BadSite.com\n", ""},
        {"add disallow 'bad phrase'", 0, "added to the disallow list as a phrase: bad phrase\n", ""},
        {"add disallow '*abcd'", 0, "added to the disallow list as a wildcard word: *abcd\n", ""},
        {"add allow school.org", 0, "added to the allow list as a site allowed unchanged: school.org\n", ""},
        {"add search page/sub", 0, "added to the search list as a search engine site, cleaned: page/sub\n", ""},
        {"add disallow -- --dashes", 0, "added to the disallow list as a word: --dashes\n", ""},
        {"add search badsite.COM", 1, "", "quillfence: badsite.COM has already been inserted. \n"},
        {"add disallow 'ab*'", 1, "", "quillfence: Word to short for use with wildcards.\nquillfence: Format Incorrect \n"},
        {"add allow 'a b'", 1, "", "quillfence: Format Incorrect \n"},
        {"add disallow ''", 1, "", "quillfence: an entry needs a text\n"},
        {"add disallow abcdefghijabcdefghijabcdefghijabcdefghijabcdefg", 1, "",
         "quillfence: an entry has at most 45 characters\n"},
        {"remove allow badsite.com", 1, "", "quillfence: badsite.com is not in the allow list\n"},
        {"remove disallow BADSITE.com", 0, "removed from the disallow list: BADSITE.com\n", ""},
    };
    for (const Case& c : cases) {
        CliRun run = change(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.arguments;
        EXPECT_EQ(c.out, run.out) << c.arguments;
        EXPECT_EQ(c.err, run.err) << c.arguments;
    }
    EXPECT_EQ("*abcd\n--dashes\nbad phrase\n", run_cli("list disallow " + root_option()).out);
    EXPECT_EQ("school.org\n", run_cli("list allow " + root_option()).out);
    EXPECT_EQ("page/sub\n", run_cli("list search " + root_option()).out);

    CliRun wrong = run_cli("add disallow other --password-stdin " + root_option(), "", "wrong\n");
    EXPECT_EQ(1, wrong.exitCode);
    EXPECT_EQ("quillfence: Password Incorrect\n", wrong.err);
    EXPECT_EQ("*abcd\n--dashes\nbad phrase\n", run_cli("list disallow " + root_option()).out);
}

TEST(CatalogListingLine, KeepsEveryEntryOnOneLineWhateverItsName) {
    struct Case {
        const WCHAR* name;
        int chainLength;
        const char* expected;
    };
    const Case cases[] = {
        {QF_WTEXT("plain"), 1, "7 \"plain\" chain 7"},
        {QF_WTEXT("quote \" and \\ backslash"), 1, "7 \"quote \\\" and \\\\ backslash\" chain 7"},
        {QF_WTEXT("line\nbreak\ttab"), 1, "7 \"line\\x0abreak\\x09tab\" chain 7"},
        {QF_WTEXT("caf\u00e9"), 0, "7 \"caf\xc3\xa9\" layered"},
        {QF_WTEXT("deep"), 9, "7 \"deep\" chain 7 8 9 10 11 12 13"},
    };
    for (const Case& c : cases) {
        WSAPROTOCOL_INFOW entry{};
        entry.dwCatalogEntryId = 7;
        entry.ProtocolChain.ChainLen = c.chainLength;
        for (int i = 0; i < MAX_PROTOCOL_CHAIN; ++i) entry.ProtocolChain.ChainEntries[i] = 7 + i;
        for (size_t i = 0; c.name[i]; ++i) entry.szProtocol[i] = c.name[i];
        EXPECT_EQ(c.expected, CatalogListingLine(entry));
    }
}

}  // namespace
}  // namespace cli_test
