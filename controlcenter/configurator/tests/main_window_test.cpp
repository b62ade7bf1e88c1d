// The main window: the toggle label, the switch and what follows it, the system check that
// guards it, help and the About box.
#include "configurator_test_support.h"

#include "configurator_dlg.h"
#include "filtering_state.h"
#include "protocol_catalog.h"

#include <vttray.h>
#include <wide_text.h>

#include <gmock/gmock.h>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class MainWindow : public ControlCenter {};

// Each catalog entry as its provider id, name and chain, in catalog order.
std::vector<std::string> catalog_entries() {
    std::vector<WSAPROTOCOL_INFOW> entries;
    EXPECT_EQ(0, ReadProtocolCatalog(entries, nullptr));
    std::vector<std::string> lines;
    for (const WSAPROTOCOL_INFOW& entry : entries) {
        std::string line = std::to_string(entry.dwCatalogEntryId) + " ";
        for (const WCHAR* c = entry.szProtocol; *c; ++c) line += static_cast<char>(*c);
        for (int i = 0; i < entry.ProtocolChain.ChainLen; ++i) line += " " + std::to_string(entry.ProtocolChain.ChainEntries[i]);
        lines.push_back(line);
    }
    return lines;
}

void create_provider_key() {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

TEST_F(MainWindow, TheToggleReadsFromTheProviderKey) {
    Session off = RunDialog<CConfiguratorDlg>("expect-text 1005 Enable Quillfence\nclick 1\n");
    EXPECT_EQ("", off.failure);
    create_provider_key();
    Session on = RunDialog<CConfiguratorDlg>("expect-text 1005 Disable Quillfence\nclick 1\n");
    EXPECT_EQ("", on.failure);
}

TEST_F(MainWindow, ATogglePairInstallsThenRestoresTheCatalogWithItsBoxesLogLinesAndTray) {
    const std::vector<std::string> before = catalog_entries();
    Session session = RunDialog<CConfiguratorDlg>("click 1005\nanswer IDOK\nexpect-text 1005 Disable Quillfence\n"
                                                  "expect-enabled 1 yes\nexpect-enabled 1005 yes\nclick 1005\nanswer IDOK\n"
                                                  "expect-text 1005 Enable Quillfence\nclick 1\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown,
                ElementsAre("window 102 \"Quillfence\"", "cursor IDC_WAIT", "cursor IDC_ARROW",
                            "box 102 \"Quillfence Toggle - Success\" \"Quillfence has been enabled.\" "
                            "MB_OK|MB_ICONINFORMATION",
                            "answer IDOK", "cursor IDC_WAIT", "cursor IDC_ARROW",
                            "box 102 \"Quillfence Toggle - WARNING !!!\" \"Quillfence has been deactivated.\\nContent "
                            "received from or sent on the Internet will not be controlled while deactivated.\" "
                            "MB_OK|MB_ICONEXCLAMATION",
                            "answer IDOK", HasSubstr("help 102 HELP_QUIT"), "end 102 IDOK"));
    EXPECT_EQ(before, catalog_entries());
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_THAT(log_lines(),
                ElementsAre("INFORM Quillfence has been enabled. Communications will be filtered.",
                            "WARNING Quillfence has been disabled. All communications allowed without filtering and "
                            "blocking."));
    EXPECT_EQ(0, VTTray_FilterState());
}

TEST_F(MainWindow, AfterTheFirstToggleTheTrayShowsFilteringOn) {
    Session session = RunDialog<CConfiguratorDlg>("click 1005\nanswer IDOK\nclick 1\n");
    EXPECT_EQ("", session.failure);
    EXPECT_TRUE(IsFilteringOn());
    EXPECT_EQ(1, VTTray_FilterState());
}

TEST_F(MainWindow, AFailedSystemCheckStopsBeforeAnythingChanges) {
    // Windows NT 4 with service pack 3.
    set_string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", "4.0");
    set_string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CSDVersion", "Service Pack 3");
    const std::vector<std::string> before = catalog_entries();
    Session session = RunDialog<CConfiguratorDlg>("click 1005\nanswer IDOK\nclick 1\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown,
                ElementsAre("window 102 \"Quillfence\"",
                            "box 102 \"Quillfence System Check\" \"System not correctly prepared.\\nPlease refer to "
                            "installation pre-requisites for your system:\\n\\tFor Windows'95\\tRequire Winsock2\\n"
                            "\\tFor Windows'98\\tRequire Winsock2\\n\\tFor WindowsNT\\tRequire Version 4 or greater "
                            "and Service Pack 4 or greater\" MB_OK|MB_ICONSTOP",
                            "answer IDOK", HasSubstr("HELP_QUIT"), "end 102 IDOK"));
    EXPECT_EQ(before, catalog_entries());
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_THAT(log_lines(), IsEmpty());
    EXPECT_EQ(-1, VTTray_FilterState()) << "the tray is not touched";
}

TEST_F(MainWindow, HelpGoesToTheControlsTopicsAndTheWindowsOwn) {
    Session session = RunDialog<CConfiguratorDlg>("help 1005\nhelp 1008\nhelp 1\ncontextmenu 1005\ncontextmenu 0\n"
                                                  "click 57670\nclick 1\n");
    EXPECT_EQ("", session.failure);
    std::vector<std::string> help;
    for (const std::string& line : session.shown)
        if (line.rfind("help ", 0) == 0) help.push_back(line.substr(0, line.rfind(' ')));
    // Done has no topic of its own (0); a right click on the window itself opens nothing.
    EXPECT_THAT(help, ElementsAre("help 102 HELP_WM_HELP 0x806603ED", "help 102 HELP_WM_HELP 0x806603F0",
                                  "help 102 HELP_WM_HELP 0x0", "help 102 HELP_CONTEXTMENU 0x806603ED",
                                  "help 102 HELP_CONTEXT 0x20066", "help 102 HELP_QUIT 0x0"));
    EXPECT_THAT(session.shown.back(), "end 102 IDOK");
}

TEST_F(MainWindow, TheSystemMenuOpensTheAboutBoxAndTheCloseBoxAndEscapeClose) {
    Session session = RunDialog<CConfiguratorDlg>("sysmenu 0x0010\nexpect-window 100\nexpect-text 0 About Quillfence\n"
                                                  "enter\nexpect-window 102\nclose\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, Contains("window 100 \"About Quillfence\""));
    EXPECT_THAT(session.shown.back(), "end 102 IDCANCEL");
    Session escaped = RunDialog<CConfiguratorDlg>("escape\n");
    EXPECT_EQ("", escaped.failure);
    EXPECT_THAT(escaped.shown.back(), "end 102 IDCANCEL");
}

}  // namespace
}  // namespace configurator_test
