// Start-up: one Control Center per machine, the automation registration, the first password, the
// login, and the main window's end; the program itself from first start to filtering on and off.
#include "configurator_test_support.h"

#include "configurator_app.h"
#include "configurator_dlg.h"
#include "configurator_proxy.h"
#include "filtering_state.h"

#include <dlg_app.h>
#include <dlg_backend.h>
#include <headless_backend.h>
#include <vttray.h>

#include <gmock/gmock.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace configurator_test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class StartUp : public ControlCenter {};

std::string default_value(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return "(no key)";
    char value[256] = {};
    DWORD size = sizeof(value) - 1;
    const LONG status = RegQueryValueExA(handle, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? value : "(no value)";
}

TEST_F(StartUp, FirstStartSetsThePasswordAsksForItAgainAndEndsWithTheMainWindow) {
    Session session = RunProgram(first_start("secret") + "expect-window 102\nclick 1\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown,
                ElementsAre("ole OleInitialize",
                            "ole UpdateRegistry Configurator.Application {3C363BC1-51B1-46D8-AF72-1C4FA8181EA4}",
                            "window 132 \"Quillfence - New password\"", "end 132 IDOK",
                            "window 133 \"Quillfence - Login\"", "end 133 IDOK", "window 102 \"Quillfence\"",
                            HasSubstr("help 102 HELP_QUIT 0x0"), "end 102 IDOK"));
    EXPECT_TRUE(password_is("secret"));
    // The registration lands where HKEY_CLASSES_ROOT keeps it on the platform.
    EXPECT_EQ("{3C363BC1-51B1-46D8-AF72-1C4FA8181EA4}",
              default_value(std::string(kDlgClassesKey) + "\\Configurator.Application\\CLSID"));
    EXPECT_EQ("Configurator.Application",
              default_value(std::string(kDlgClassesKey) + "\\CLSID\\{3C363BC1-51B1-46D8-AF72-1C4FA8181EA4}\\ProgID"));
}

TEST_F(StartUp, WithAPasswordFileTheLoginComesFirst) {
    set_password("secret");
    Session session = RunProgram("type 1006 secret\nenter\nescape\n");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, Not(Contains(HasSubstr("window 132"))));
    EXPECT_THAT(session.shown, Contains("end 102 IDCANCEL"));
}

TEST_F(StartUp, CancellingTheNewPasswordOrTheLoginEndsTheProgram) {
    Session noPassword = RunProgram("click 2\n");
    EXPECT_EQ("", noPassword.failure);
    EXPECT_EQ("end 132 IDCANCEL", noPassword.shown.back());
    EXPECT_THAT(noPassword.shown, Not(Contains(HasSubstr("window 133"))));

    set_password("secret");
    Session noLogin = RunProgram("type 1006 wrong\nenter\nanswer IDOK\nescape\n");
    EXPECT_EQ("", noLogin.failure);
    EXPECT_EQ("end 133 IDCANCEL", noLogin.shown.back());
}

TEST_F(StartUp, AnAutomationStartRegistersRunningObjectsAndStillAsksForThePassword) {
    set_password("secret");
    for (const char* option : {"/Embedding", "-Automation", "/automation"}) {
        Session session = RunProgram("type 1006 secret\nenter\nclick 1\n", {option});
        EXPECT_EQ("", session.failure) << option;
        EXPECT_THAT(session.shown, Contains("ole RegisterRunningObjects Configurator.Application")) << option;
        EXPECT_THAT(session.shown, Not(Contains(HasSubstr("UpdateRegistry")))) << option;
        EXPECT_THAT(session.shown, Contains("window 133 \"Quillfence - Login\"")) << option;
    }
    EXPECT_EQ("(no key)", default_value(std::string(kDlgClassesKey) + "\\Configurator.Application\\CLSID"));
}

TEST_F(StartUp, ASecondControlCenterEndsSilently) {
    HANDLE first = CreateMutexA(nullptr, FALSE, kConfiguratorInstanceMutex);
    ASSERT_NE(nullptr, first);
    Session session = RunProgram("");
    EXPECT_EQ("", session.failure);
    EXPECT_THAT(session.shown, IsEmpty());
    CloseHandle(first);
}

TEST_F(StartUp, AScriptThatEndsWithAWindowOpenFailsInsteadOfWaiting) {
    Session session = RunProgram("type 1006 secret\n");
    EXPECT_EQ("the script ended while window 132 \"Quillfence - New password\" was open", session.failure);
    Session box = RunProgram("type 1006 a\ntype 1001 b\nfocus 1006\n");
    EXPECT_EQ("the script ended while the message box \"ERROR!\" was open", box.failure);
}

// The program itself, on a script from a file or from standard input.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Program : public ControlCenter {
protected:
    // Starts configurator --headless - with standard input from a pipe this test writes.
    FILE* start(const std::string& tag) {
        const std::string command = std::string("'") + CONFIGURATOR_PROGRAM + "' --headless - --root '" + root_.path() +
                                    "' >'" + root_.file(tag + ".out") + "' 2>'" + root_.file(tag + ".err") +
                                    "'; echo $? >'" + root_.file(tag + ".code") + "'";
        return popen(command.c_str(), "w");
    }
    ProgramRun finish(FILE* input, const std::string& tag) {
        pclose(input);
        return {atoi(read_all(root_.file(tag + ".code")).c_str()), read_all(root_.file(tag + ".out")),
                read_all(root_.file(tag + ".err"))};
    }
    ProgramRun run(const std::string& script) {
        FILE* input = start("run");
        fputs(script.c_str(), input);
        return finish(input, "run");
    }
};

TEST_F(Program, FromFirstStartToFilteringOnAndOff) {
    ProgramRun run = this->run(first_start("secret") +
                               "expect-text 1005 Enable Quillfence\n"
                               "click 1005\nexpect-box \"Quillfence Toggle - Success\" \"Quillfence has been enabled.\"\n"
                               "answer IDOK\nexpect-text 1005 Disable Quillfence\n"
                               "click 1005\nanswer IDOK\nexpect-text 1005 Enable Quillfence\nclick 1\n");
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);
    EXPECT_THAT(run.out, HasSubstr("box 102 \"Quillfence Toggle - Success\" \"Quillfence has been enabled.\" "
                                   "MB_OK|MB_ICONINFORMATION\n"));
    EXPECT_THAT(run.out, HasSubstr("box 102 \"Quillfence Toggle - WARNING !!!\" \"Quillfence has been deactivated.\\n"
                                   "Content received from or sent on the Internet will not be controlled while "
                                   "deactivated.\" MB_OK|MB_ICONEXCLAMATION\n"));
    EXPECT_THAT(run.out, HasSubstr("help 102 HELP_QUIT 0x0 \"" + std::string(CONFIGURATOR_PROGRAM) + ".hlp\"\nend 102 IDOK\n"));
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_THAT(log_lines(), ElementsAre(HasSubstr("INFORM Quillfence has been enabled."),
                                         HasSubstr("WARNING Quillfence has been disabled.")));
}

TEST_F(Program, AScriptThatDoesNotFitFailsWithItsLine) {
    ProgramRun run = this->run("type 1006 secret\nclick 1005\n");
    EXPECT_EQ(3, run.exitCode);
    EXPECT_EQ("configurator: script line 2: click 1005: the window has no such control in window 132 "
              "\"Quillfence - New password\"\n",
              run.err);
    ProgramRun leftOver = this->run("click 2\nclick 1\n");
    EXPECT_EQ(3, leftOver.exitCode);
    EXPECT_THAT(leftOver.err, HasSubstr("script line 2: the program has ended; no window is open for: click 1"));
}

TEST_F(Program, ASecondProcessEndsSilentlyWhileTheFirstRuns) {
    FILE* first = start("first");
    // The first Control Center waits in its New password dialog for the rest of its script.
    fputs("type 1006 secret\n", first);
    fflush(first);
    std::string shown;
    for (int i = 0; i < 500 && shown.find("> type 1006") == std::string::npos; ++i) {
        Sleep(10);
        shown = read_all(root_.file("first.out"));
    }
    ASSERT_THAT(shown, HasSubstr("> type 1006 secret"));

    ProgramRun second = run("");
    EXPECT_EQ(0, second.exitCode) << second.err;
    EXPECT_EQ("", second.out);
    EXPECT_EQ("", second.err);

    fputs("click 2\n", first);
    ProgramRun firstRun = finish(first, "first");
    EXPECT_EQ(0, firstRun.exitCode) << firstRun.err;
    EXPECT_THAT(firstRun.out, HasSubstr("end 132 IDCANCEL"));

    // With the first one gone the next start is the first again.
    ProgramRun third = run("click 2\n");
    EXPECT_EQ(0, third.exitCode) << third.err;
    EXPECT_THAT(third.out, HasSubstr("window 132"));
}

TEST_F(Program, WithoutHeadlessAndWithoutADisplayItSaysSo) {
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY '") + CONFIGURATOR_PROGRAM + "' --root '" +
                                root_.path() + "' 2>'" + root_.file("plain.err") + "'; echo $? >'" +
                                root_.file("plain.code") + "'";
    ASSERT_EQ(0, system(command.c_str()));
    EXPECT_EQ("1\n", read_all(root_.file("plain.code")));
    EXPECT_THAT(read_all(root_.file("plain.err")),
                HasSubstr("configurator: the Control Center needs a desktop to show its windows: no display"));
}

}  // namespace
}  // namespace configurator_test

namespace configurator_test {
namespace {

// An automation client: it attaches to the main window as soon as that opens, the user's Done
// then only hides the window, and the client's release closes it.
class AutomationClient : public HeadlessBackend {
public:
    using HeadlessBackend::HeadlessBackend;
    void RunModal(CDialog& dialog) override {
        if (dialog.TemplateId() != 102) return HeadlessBackend::RunModal(dialog);
        auto* proxy = new CConfiguratorDlgAutoProxy;
        attached = static_cast<CConfiguratorDlg&>(dialog).m_pAutoProxy == proxy;
        DlgUserClick(dialog, IDOK);
        hiddenAndOpen = !dialog.IsWindowVisible() && !DlgWindowOf(dialog)->ended;
        proxy->Release();
    }
    bool attached = false;
    bool hiddenAndOpen = false;
};

TEST_F(StartUp, WithAnAutomationClientDoneHidesTheWindowUntilTheClientLetsGo) {
    set_password("secret");
    DlgClearRecords();
    AutomationClient client(HeadlessScriptText("type 1006 secret\nenter\n"));
    DlgSetBackend(&client);
    {
        CConfiguratorApp app;
        app.Run({"/Automation"});
    }
    DlgSetBackend(nullptr);
    EXPECT_TRUE(client.attached);
    EXPECT_TRUE(client.hiddenAndOpen);
    std::vector<std::string> shown;
    for (const DlgRecord& record : DlgRecords()) shown.push_back(DlgRecordLine(record));
    EXPECT_THAT(shown, testing::IsSupersetOf({std::string("hide 102"), std::string("end 102 IDOK")}));
}

}  // namespace
}  // namespace configurator_test
