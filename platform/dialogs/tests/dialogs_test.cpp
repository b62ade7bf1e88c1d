// The dialog framework on its headless backend: focus notifications as the platform sends them,
// what a user can and cannot do to a control, message maps, nested windows and message boxes run
// from one script, and scripts that do not fit failing instead of waiting.
#include <dlg_app.h>
#include <dlg_backend.h>
#include <dlg_dialog.h>
#include <headless_backend.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

enum { kFirst = 10, kSecond = 11, kReadOnly = 12, kOpen = 20, kTick = 21, kList = 30, kChecks = 31, kCombo = 32,
       kSlider = 40, kUpright = 41, kBar = 42, kAsk = 50, kHidden = 51 };

using K = DlgControlKind;
const DlgControlTemplate kControls[] = {
    {IDC_STATIC, K::Static, "A field", 0, 0, 10, 10, 0, 0, 0},
    {kFirst, K::Edit, "", 0, 0, 10, 10, 0, 5, 0},
    {kSecond, K::Edit, "", 0, 0, 10, 10, DLGS_PASSWORD, 0, 0},
    {kReadOnly, K::Edit, "fixed", 0, 0, 10, 10, DLGS_READONLY, 0, 0},
    {kOpen, K::Button, "Open", 0, 0, 10, 10, 0, 0, 0},
    {kTick, K::CheckBox, "Tick", 0, 0, 10, 10, 0, 0, 0},
    {kList, K::ListBox, "", 0, 0, 10, 10, DLGS_SORTED, 0, 0},
    {kChecks, K::ListBox, "", 0, 0, 10, 10, DLGS_CHECKLIST, 0, 0},
    {kCombo, K::ComboBox, "", 0, 0, 10, 10, 0, 0, 0},
    {kSlider, K::Slider, "", 0, 0, 10, 10, 0, 0, 0},
    {kUpright, K::ScrollBar, "", 0, 0, 10, 10, DLGS_VERTICAL, 0, 0},
    {kBar, K::ProgressBar, "", 0, 0, 10, 10, 0, 0, 0},
    {kAsk, K::Button, "Ask", 0, 0, 10, 10, DLGS_DISABLED, 0, 0},
    {kHidden, K::Button, "Hidden", 0, 0, 10, 10, DLGS_HIDDEN, 0, 0},
    {IDOK, K::Button, "OK", 0, 0, 10, 10, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 0, 0, 10, 10, 0, 0, 0},
};
const DlgControlTemplate kInnerControls[] = {
    {kFirst, K::Edit, "", 0, 0, 10, 10, 0, 0, 0},
    {IDOK, K::Button, "OK", 0, 0, 10, 10, DLGS_DEFAULT, 0, 0},
};
const DlgTemplate kTemplates[] = {
    {7, "Test window", 0, 0, 100, 100, DLGW_SYSMENU, kControls, std::size(kControls)},
    {8, "Inner window", 0, 0, 50, 50, DLGW_SYSMENU, kInnerControls, std::size(kInnerControls)},
};
const DlgResources kResources = {kTemplates, std::size(kTemplates), nullptr, 0};

std::vector<std::string> g_heard;

class InnerDialog : public CDialog {
public:
    InnerDialog(CDialog* parent) : CDialog(8, parent) {}
};

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(7) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        for (const char* line : {"pear", "apple", "fig"}) ListAddString(kList, line);
        for (const char* line : {"one", "two"}) ListAddString(kChecks, line);
        for (const char* line : {"red", "green"}) ComboAddString(kCombo, line);
        SetRange(kSlider, 0, 10);
        SetRange(kUpright, 0, 100);
        AppendSystemMenu(MF_STRING, 0x0010, "&About");
        return TRUE;
    }
    void OnOK() override {
        g_heard.push_back("ok");
        CDialog::OnOK();
    }
    void SetFirst() { g_heard.push_back("set first"); }
    void KillFirst() { g_heard.push_back("kill first"); }
    void SetSecond() { g_heard.push_back("set second"); }
    void KillSecond() {
        g_heard.push_back("kill second");
        if (GetDlgItemText(kSecond) == "ask") MessageBox("Sure?", "Question", MB_YESNO | MB_ICONQUESTION);
    }
    void ChangeFirst() { g_heard.push_back("change first " + GetDlgItemText(kFirst)); }
    void Open() {
        InnerDialog inner(this);
        g_heard.push_back("inner " + std::to_string(inner.DoModal()));
    }
    void Tick() { g_heard.push_back("tick " + std::to_string(IsDlgButtonChecked(kTick))); }
    void ListChosen() { g_heard.push_back("list " + ListGetText(kList, ListGetCurSel(kList))); }
    void ListTwice() { g_heard.push_back("twice " + ListGetText(kList, ListGetCurSel(kList))); }
    void Checked() {
        const int line = ListGetCurSel(kChecks);
        g_heard.push_back("checked " + ListGetText(kChecks, line) + " " + std::to_string(ListGetCheck(kChecks, line)));
    }
    void ComboChosen() { g_heard.push_back("combo " + ComboGetText(kCombo, ComboGetCurSel(kCombo))); }
    void ComboClosed() { g_heard.push_back("closed"); }
    void OnHScroll(UINT code, UINT position, int id) {
        g_heard.push_back("h " + std::to_string(id) + " " + std::to_string(code) + " " + std::to_string(position) + " " +
                          std::to_string(GetPos(id)));
    }
    void OnVScroll(UINT code, UINT position, int id) {
        if (code == SB_THUMBPOSITION) SetPos(id, static_cast<int>(position));
        g_heard.push_back("v " + std::to_string(id) + " " + std::to_string(code) + " " + std::to_string(GetPos(id)));
    }
    void OnSysCommand(UINT id, LPARAM lParam) {
        g_heard.push_back("sys " + std::to_string(id));
        CDialog::OnSysCommand(id, lParam);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDialog, CDialog)
    ON_EN_SETFOCUS(kFirst, SetFirst)
    ON_EN_KILLFOCUS(kFirst, KillFirst)
    ON_EN_CHANGE(kFirst, ChangeFirst)
    ON_EN_SETFOCUS(kSecond, SetSecond)
    ON_EN_KILLFOCUS(kSecond, KillSecond)
    ON_BN_CLICKED(kOpen, Open)
    ON_BN_CLICKED(kTick, Tick)
    ON_LBN_SELCHANGE(kList, ListChosen)
    ON_LBN_DBLCLK(kList, ListTwice)
    ON_CLBN_CHKCHANGE(kChecks, Checked)
    ON_CBN_SELCHANGE(kCombo, ComboChosen)
    ON_CBN_CLOSEUP(kCombo, ComboClosed)
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

struct Played {
    std::string failure;
    std::vector<std::string> shown;
    int result = 0;
};

Played run(const std::string& script) {
    g_heard.clear();
    DlgClearRecords();
    DlgSetResources(&kResources);
    HeadlessBackend backend(HeadlessScriptText(script));
    DlgSetBackend(&backend);
    Played out;
    try {
        TestDialog dialog;
        out.result = static_cast<int>(dialog.DoModal());
        backend.CheckFinished();
    } catch (const HeadlessFailure& failure) {
        out.failure = failure.what();
    }
    DlgSetBackend(nullptr);
    for (const DlgRecord& record : DlgRecords()) out.shown.push_back(DlgRecordLine(record));
    return out;
}

TEST(DialogFocus, MovesAsOnThePlatformAndAMouseClickTakesItToTheButton) {
    Played r = run("type 11 x\nfocus 10\nclick 21\nenter\n");
    EXPECT_EQ("", r.failure);
    EXPECT_THAT(g_heard, ElementsAre("set first",  // the first control that takes the focus gets it
                                     "kill first", "set second", "kill second", "set first", "kill first", "tick 1",
                                     "ok"));
    EXPECT_EQ(IDOK, r.result);
}

TEST(DialogFocus, EnterPressesTheDefaultButtonWithoutMovingTheFocus) {
    Played r = run("type 10 abc\nenter\n");
    EXPECT_EQ("", r.failure);
    EXPECT_THAT(g_heard, ElementsAre("set first", "change first abc", "ok"));
}

TEST(DialogFocus, AMessageBoxShownWhileTheFocusMovesIsAnsweredFromTheScript) {
    Played r = run("type 11 ask\nfocus 10\nexpect-box \"Question\" \"Sure?\"\nanswer IDNO\nexpect-text 11 ask\nescape\n");
    EXPECT_EQ("", r.failure);
    EXPECT_THAT(r.shown, ElementsAre("window 7 \"Test window\"", "box 7 \"Question\" \"Sure?\" MB_YESNO|MB_ICONQUESTION",
                                     "answer IDNO", "end 7 IDCANCEL"));
}

TEST(DialogControls, TypingKeepsToTheLimitAndUnreachableControlsRefuse) {
    EXPECT_EQ("", run("type 10 abcdefgh\nexpect-text 10 abcde\nescape\n").failure);
    struct Case {
        const char* action;
        const char* refusal;
    } cases[] = {
        {"click 50", "the control is disabled"},
        {"click 51", "the control is hidden"},
        {"type 12 new", "the edit is read-only"},
        {"type 20 new", "the control is not of a kind that takes this action"},
        {"click 99", "the window has no such control"},
        {"select 30 3", "the control has no such line"},
        {"check 30 0 on", "the control is not of a kind that takes this action"},
        {"sysmenu 0x20", "the system menu has no such item"},
        {"scroll 42 5", "the control is not of a kind that takes this action"},
    };
    for (const Case& c : cases) {
        Played r = run(std::string(c.action) + "\nescape\n");
        EXPECT_EQ(std::string("script line 1: ") + c.action + ": " + c.refusal + " in window 7 \"Test window\"", r.failure);
    }
}

TEST(DialogControls, ListsCombosSlidersAndScrollBarsNotifyTheirOwner) {
    Played r = run("select 30 0\ndblclick 30 2\ncheck 31 1 on\ncheck 31 1 on\nselect 32 1\ncloseup 32\n"
                "scroll 40 7\nscroll 40 99\nscroll 41 30\nsysmenu 0x10\nclose\n");
    EXPECT_EQ("", r.failure);
    EXPECT_THAT(g_heard,
                ElementsAre("set first", "kill first", "list apple",  // the list keeps its lines sorted
                            "list pear", "twice pear", "checked two 1", "combo green", "closed",
                            "h 40 4 7 7", "h 40 8 0 7", "h 40 4 10 10", "h 40 8 0 10", "v 41 4 30", "v 41 8 30",
                            "sys 16", "sys 61536"));
    EXPECT_EQ(IDCANCEL, r.result);
}

// A sorted list as the platform keeps it: lines in order without regard to case; the prefix and
// exact searches from the top, also without regard to case.
class SortedListDialog : public CDialog {
public:
    SortedListDialog() : CDialog(7) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        for (const char* line : {"banana", "Apple", "apricot", "BAN", "cherry"}) ListAddString(kList, line);
        for (int i = 0; i < ListGetCount(kList); ++i) g_heard.push_back(ListGetText(kList, i));
        for (const char* text : {"ban", "BANANA", "ap", "c", "x"}) {
            g_heard.push_back(std::string(text) + " " + std::to_string(ListFindString(kList, text)) + " " +
                              std::to_string(ListFindStringExact(kList, text)));
        }
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST(DialogControls, ASortedListIgnoresCaseInItsOrderAndItsSearches) {
    g_heard.clear();
    DlgSetResources(&kResources);
    HeadlessBackend backend(HeadlessScriptText(""));
    DlgSetBackend(&backend);
    SortedListDialog dialog;
    EXPECT_EQ(IDOK, dialog.DoModal());
    DlgSetBackend(nullptr);
    EXPECT_THAT(g_heard, ElementsAre("Apple", "apricot", "BAN", "banana", "cherry", "ban 2 2", "BANANA 3 3",
                                     "ap 0 -1", "c 4 -1", "x -1 -1"));
}

// A slider keeps its tick frequency for the backend that draws it; other controls take none.
TEST(DialogControls, SlidersKeepTheirTickFrequency) {
    class Ticks : public CDialog {
    public:
        Ticks() : CDialog(7) {}
        int slider = -1, bar = -1, cleared = -1;

    protected:
        BOOL OnInitDialog() override {
            SetTicFreq(kSlider, 2);
            SetTicFreq(kUpright, 5);
            slider = DlgWindowOf(*this)->find(kSlider)->tickFrequency;
            bar = DlgWindowOf(*this)->find(kUpright)->tickFrequency;
            SetTicFreq(kSlider, -3);
            cleared = DlgWindowOf(*this)->find(kSlider)->tickFrequency;
            EndDialog(IDOK);
            return TRUE;
        }
    };
    DlgSetResources(&kResources);
    HeadlessBackend backend(HeadlessScriptText(""));
    DlgSetBackend(&backend);
    Ticks dialog;
    EXPECT_EQ(IDOK, dialog.DoModal());
    DlgSetBackend(nullptr);
    EXPECT_EQ(2, dialog.slider);
    EXPECT_EQ(0, dialog.bar);
    EXPECT_EQ(0, dialog.cleared);
}

TEST(DialogNesting, AWindowOpenedByAHandlerRunsOnTheSameScript) {
    Played r = run("click 20\nexpect-window 8\ntype 10 inner\nenter\nexpect-window 7\nexpect-text 10 \nclick 1\n");
    EXPECT_EQ("", r.failure);
    EXPECT_THAT(r.shown, ElementsAre("window 7 \"Test window\"", "window 8 \"Inner window\"", "end 8 IDOK",
                                     "end 7 IDOK"));
    EXPECT_THAT(g_heard, ::testing::Contains("inner 1"));
}

TEST(HeadlessScript, FailsClearlyWhereItDoesNotFit) {
    struct Case {
        const char* script;
        const char* failure;
    } cases[] = {
        {"type 10 a\n", "the script ended while window 7 \"Test window\" was open"},
        {"type 11 ask\nfocus 10\n", "the script ended while the message box \"Question\" was open"},
        {"type 11 ask\nfocus 10\nclick 20\n",
         "script line 3: the message box \"Question\" is open and must be answered first, not: click 20"},
        {"type 11 ask\nfocus 10\nanswer IDOK\n", "script line 3: the message box \"Question\" has no button IDOK"},
        {"type 11 ask\nfocus 10\nexpect-box \"Question\" \"Other\"\n",
         "script line 3: the message box \"Question\" reads \"Sure?\", not the expected \"Question\" \"Other\""},
        {"answer IDOK\n", "script line 1: no message box is open (window 7 \"Test window\" is)"},
        {"expect-text 10 x\n", "script line 1: control 10 reads \"\", not \"x\""},
        {"expect-window 8\n", "script line 1: the active window is window 7 \"Test window\""},
        {"expect-enabled 50 yes\n", "script line 1: control 50 is disabled"},
        {"# a comment\n\nwiggle 10\n", "script line 3: unknown action: wiggle 10"},
        {"escape\nclick 1\n", "script line 2: the program has ended; no window is open for: click 1"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.failure, run(c.script).failure) << c.script;
}

const DWORD kHelpTable[] = {kFirst, DlgHelpContext(7, kFirst), kOpen, 0x1234, 0, 0};

class HelpDialog : public TestDialog {
protected:
    BOOL OnHelpInfo(HELPINFO* info) {
        DlgWinHelp(static_cast<HWND>(info->hItemHandle), "test.hlp", HELP_WM_HELP, reinterpret_cast<DWORD_PTR>(kHelpTable));
        return TRUE;
    }
    void OnContextMenu(HWND window, POINT) {
        g_heard.push_back(window == GetSafeHwnd() ? "menu on the window" : "menu on a control");
        DlgWinHelp(window, "test.hlp", HELP_CONTEXTMENU, reinterpret_cast<DWORD_PTR>(kHelpTable));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HelpDialog, TestDialog)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

TEST(DialogHelp, ATableGivesTheControlsContextAndTheRecordKeepsIt) {
    EXPECT_EQ(0x8007000Au, DlgHelpContext(7, kFirst));
    g_heard.clear();
    DlgClearRecords();
    DlgSetResources(&kResources);
    HeadlessBackend backend(HeadlessScriptText("help 10\nhelp 11\ncontextmenu 20\ncontextmenu 0\nescape\n"));
    DlgSetBackend(&backend);
    HelpDialog dialog;
    dialog.DoModal();
    DlgSetBackend(nullptr);
    std::vector<std::string> shown;
    for (const DlgRecord& record : DlgRecords()) shown.push_back(DlgRecordLine(record));
    EXPECT_THAT(shown, ElementsAre(HasSubstr("window 7"), "help 7 HELP_WM_HELP 0x8007000A \"test.hlp\"",
                                   "help 7 HELP_WM_HELP 0x0 \"test.hlp\"", "help 7 HELP_CONTEXTMENU 0x1234 \"test.hlp\"",
                                   "help 7 HELP_CONTEXTMENU 0x0 \"test.hlp\"", "end 7 IDCANCEL"));
    EXPECT_THAT(g_heard, ::testing::Contains("menu on the window"));
}

}  // namespace
