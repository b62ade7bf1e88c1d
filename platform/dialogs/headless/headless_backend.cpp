// The headless backend: runs windows and message boxes from a script of user actions.
//
// One action per line; blank lines and lines starting with '#' are skipped. ID is a control
// identifier (decimal, 0x hex, or IDOK/IDCANCEL/...); TEXT is the rest of the line, with \n, \t,
// \\ and \" escapes. Actions go to the active window (the newest one open):
//
//   type ID [TEXT]         types TEXT into an edit, replacing what it held (the focus moves there
//                          first; characters past the edit's limit are refused)
//   focus ID               moves the focus (EN_KILLFOCUS to the edit losing it, EN_SETFOCUS to
//                          the edit gaining it)
//   click ID               a mouse click on a button or check box (the focus moves to it first)
//   enter                  the Enter key: the focused push button, else the default button
//   escape                 the Escape key (IDCANCEL)
//   close                  the close box
//   select ID INDEX        chooses a line of a list or combo box
//   dblclick ID INDEX      double-clicks a line of a list box
//   check ID INDEX on|off  ticks or clears a line of a check list
//   closeup ID             closes a combo box's drop-down list
//   scroll ID POSITION     moves a slider or scroll bar
//   help ID                F1 over a control (WM_HELP)
//   contextmenu ID         a right click on a control (0: on the window itself)
//   sysmenu COMMAND        a system menu item
//   expect-window TEMPLATE the active window is of that template
//   expect-text ID TEXT    the control (0: the window's caption) reads TEXT
//   expect-enabled ID yes|no
//
// While a message box is open the next action must answer it, after any number of checks:
//
//   expect-box "CAPTION" "TEXT"   the open box has this caption and text
//   answer BUTTON                 IDOK, IDCANCEL, IDYES, IDNO, ... (one of the box's buttons)
#include <headless_backend.h>

#include <dlg_app.h>

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace {

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        default: out += next; break;
        }
    }
    return out;
}

// The first word of text, and in rest what follows it after one blank.
std::string split_word(const std::string& text, std::string& rest) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) {
        rest.clear();
        return std::string();
    }
    size_t end = text.find_first_of(" \t", start);
    if (end == std::string::npos) {
        rest.clear();
        return text.substr(start);
    }
    rest = text.substr(end + 1);
    return text.substr(start, end - start);
}

bool parse_number(const std::string& word, long long& value) {
    if (word.empty()) return false;
    if (int button = DlgButtonFromName(word)) {
        value = button;
        return true;
    }
    char* end = nullptr;
    value = strtoll(word.c_str(), &end, 0);
    return end && *end == '\0';
}

// Quoted strings with escapes, as DlgRecordLine writes them.
bool parse_quoted(const std::string& text, std::vector<std::string>& parts) {
    size_t i = 0;
    while (i < text.size()) {
        if (isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        if (text[i] != '"') return false;
        std::string raw;
        for (++i; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) raw += text[i++];
            raw += text[i];
        }
        if (i == text.size()) return false;
        ++i;
        parts.push_back(unescape(raw));
    }
    return true;
}

std::string window_name(const CDialog& dialog) {
    DlgWindow* window = DlgWindowOf(dialog);
    return "window " + std::to_string(dialog.TemplateId()) + (window ? " \"" + window->caption + "\"" : "");
}

}  // namespace

HeadlessBackend::HeadlessBackend(std::function<bool(std::string&)> nextLine) : nextLine_(std::move(nextLine)) {}

void HeadlessBackend::Fail(const std::string& message) const {
    throw HeadlessFailure("script line " + std::to_string(lineNumber_) + ": " + message);
}

bool HeadlessBackend::NextAction(std::string& line) {
    while (nextLine_(line)) {
        ++lineNumber_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line = line.substr(start);
        if (echo_) echo_("> " + line);
        return true;
    }
    return false;
}

void HeadlessBackend::RunModal(CDialog& dialog) {
    DlgWindow* window = DlgWindowOf(dialog);
    std::string line;
    while (!window->ended) {
        if (!NextAction(line))
            throw HeadlessFailure("the script ended while " + window_name(dialog) + " was open");
        Perform(dialog, line);
    }
}

int HeadlessBackend::MessageBox(CDialog*, const char* text, const char* caption, UINT type) {
    const std::string shown = std::string("message box \"") + caption + "\"";
    std::string line;
    for (;;) {
        if (!NextAction(line)) throw HeadlessFailure("the script ended while the " + shown + " was open");
        std::string rest;
        const std::string verb = split_word(line, rest);
        if (verb == "expect-box") {
            std::vector<std::string> parts;
            if (!parse_quoted(rest, parts) || parts.size() != 2) Fail("expect-box needs \"CAPTION\" \"TEXT\"");
            if (parts[0] != caption || parts[1] != text)
                Fail("the " + shown + " reads \"" + text + "\", not the expected \"" + parts[0] + "\" \"" + parts[1] + "\"");
            continue;
        }
        if (verb != "answer") Fail("the " + shown + " is open and must be answered first, not: " + line);
        std::string extra;
        const std::string button = split_word(rest, extra);
        const int answer = DlgButtonFromName(button);
        const std::vector<int> answers = DlgBoxAnswers(type);
        if (!answer || std::find(answers.begin(), answers.end(), answer) == answers.end())
            Fail("the " + shown + " has no button " + button);
        return answer;
    }
}

void HeadlessBackend::CheckFinished() {
    std::string line;
    if (NextAction(line)) Fail("the program has ended; no window is open for: " + line);
}

void HeadlessBackend::Perform(CDialog& dialog, const std::string& line) {
    std::string rest;
    const std::string verb = split_word(line, rest);
    std::string afterId;
    const std::string idWord = split_word(rest, afterId);
    long long id = 0;
    const bool hasId = parse_number(idWord, id);
    auto needId = [&]() {
        if (!hasId) Fail(verb + " needs a control identifier");
    };
    auto needIndex = [&](long long& value) {
        std::string more;
        if (!parse_number(split_word(afterId, more), value)) Fail(verb + " needs a number after the identifier");
    };
    DlgInput result = DlgInput::Done;
    if (verb == "type") {
        needId();
        result = DlgUserType(dialog, static_cast<int>(id), unescape(afterId));
    } else if (verb == "focus") {
        needId();
        result = DlgUserFocus(dialog, static_cast<int>(id));
    } else if (verb == "click") {
        needId();
        result = DlgUserClick(dialog, static_cast<int>(id));
    } else if (verb == "enter") {
        result = DlgUserEnter(dialog);
    } else if (verb == "escape") {
        result = DlgUserEscape(dialog);
    } else if (verb == "close") {
        result = DlgUserClose(dialog);
    } else if (verb == "select" || verb == "dblclick" || verb == "scroll") {
        needId();
        long long value = 0;
        needIndex(value);
        if (verb == "select") result = DlgUserSelect(dialog, static_cast<int>(id), static_cast<int>(value));
        if (verb == "dblclick") result = DlgUserDoubleClick(dialog, static_cast<int>(id), static_cast<int>(value));
        if (verb == "scroll") result = DlgUserScroll(dialog, static_cast<int>(id), static_cast<int>(value));
    } else if (verb == "check") {
        needId();
        std::string state;
        const std::string indexWord = split_word(afterId, state);
        long long index = 0;
        std::string none;
        state = split_word(state, none);
        if (!parse_number(indexWord, index) || (state != "on" && state != "off")) Fail("check needs ID INDEX on|off");
        result = DlgUserCheckItem(dialog, static_cast<int>(id), static_cast<int>(index), state == "on");
    } else if (verb == "closeup") {
        needId();
        result = DlgUserCloseDropDown(dialog, static_cast<int>(id));
    } else if (verb == "help") {
        needId();
        result = DlgUserHelp(dialog, static_cast<int>(id));
    } else if (verb == "contextmenu") {
        needId();
        result = DlgUserContextMenu(dialog, static_cast<int>(id));
    } else if (verb == "sysmenu") {
        needId();
        result = DlgUserSysCommand(dialog, static_cast<UINT>(id));
    } else if (verb == "expect-window") {
        needId();
        if (dialog.TemplateId() != static_cast<UINT>(id)) Fail("the active window is " + window_name(dialog));
    } else if (verb == "expect-text") {
        needId();
        const std::string wanted = unescape(afterId);
        const std::string actual = id == 0 ? dialog.GetWindowText() : dialog.GetDlgItemText(static_cast<int>(id));
        if (id != 0 && !dialog.GetDlgItem(static_cast<int>(id))) Fail(window_name(dialog) + " has no control " + idWord);
        if (actual != wanted) Fail("control " + idWord + " reads \"" + actual + "\", not \"" + wanted + "\"");
    } else if (verb == "expect-enabled") {
        needId();
        std::string none;
        const std::string state = split_word(afterId, none);
        if (state != "yes" && state != "no") Fail("expect-enabled needs ID yes|no");
        if (!dialog.GetDlgItem(static_cast<int>(id))) Fail(window_name(dialog) + " has no control " + idWord);
        if ((dialog.IsDlgItemEnabled(static_cast<int>(id)) != FALSE) != (state == "yes"))
            Fail("control " + idWord + (state == "yes" ? " is disabled" : " is enabled"));
    } else if (verb == "answer" || verb == "expect-box") {
        Fail("no message box is open (" + window_name(dialog) + " is)");
    } else {
        Fail("unknown action: " + line);
    }
    if (result != DlgInput::Done) Fail(line + ": " + DlgInputText(result) + " in " + window_name(dialog));
}

std::function<bool(std::string&)> HeadlessScriptText(const std::string& text) {
    auto stream = std::make_shared<std::istringstream>(text);
    return [stream](std::string& line) { return static_cast<bool>(std::getline(*stream, line)); };
}

std::function<bool(std::string&)> HeadlessScriptStream(FILE* stream) {
    return [stream](std::string& line) {
        line.clear();
        int c;
        while ((c = fgetc(stream)) != EOF) {
            if (c == '\n') return true;
            line += static_cast<char>(c);
        }
        return !line.empty();
    };
}
