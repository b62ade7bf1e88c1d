// The record of what the program showed, and its one-line form.
#include "dialog_internal.h"

#include <stdio.h>

namespace {

std::vector<DlgRecord>& records() {
    static std::vector<DlgRecord> list;
    return list;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                snprintf(escaped, sizeof(escaped), "\\x%02X", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string box_type(UINT type) {
    static const char* const kButtons[] = {"MB_OK", "MB_OKCANCEL", "MB_ABORTRETRYIGNORE", "MB_YESNOCANCEL", "MB_YESNO", "MB_RETRYCANCEL"};
    const UINT buttons = type & MB_TYPEMASK;
    std::string text = buttons < 6 ? kButtons[buttons] : std::to_string(buttons);
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: text += "|MB_ICONSTOP"; break;
    case MB_ICONQUESTION: text += "|MB_ICONQUESTION"; break;
    case MB_ICONEXCLAMATION: text += "|MB_ICONEXCLAMATION"; break;
    case MB_ICONINFORMATION: text += "|MB_ICONINFORMATION"; break;
    default: break;
    }
    if ((type & MB_DEFMASK) == MB_DEFBUTTON2) text += "|MB_DEFBUTTON2";
    if ((type & MB_DEFMASK) == MB_DEFBUTTON3) text += "|MB_DEFBUTTON3";
    return text;
}

std::string help_command(UINT command) {
    switch (command) {
    case HELP_CONTEXT: return "HELP_CONTEXT";
    case HELP_QUIT: return "HELP_QUIT";
    case HELP_INDEX: return "HELP_INDEX";
    case HELP_FINDER: return "HELP_FINDER";
    case HELP_CONTEXTMENU: return "HELP_CONTEXTMENU";
    case HELP_WM_HELP: return "HELP_WM_HELP";
    default: return std::to_string(command);
    }
}

std::string hex(DWORD_PTR value) {
    char text[24];
    snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::function<void(const DlgRecord&)>& listener() {
    static std::function<void(const DlgRecord&)> function;
    return function;
}

}  // namespace

const std::vector<DlgRecord>& DlgRecords() { return records(); }
void DlgClearRecords() { records().clear(); }

void DlgAddRecord(const DlgRecord& record) {
    records().push_back(record);
    if (listener()) listener()(record);
}

void DlgSetRecordListener(std::function<void(const DlgRecord&)> function) { listener() = std::move(function); }

std::string DlgButtonName(int id) {
    static const char* const kNames[] = {"0", "IDOK", "IDCANCEL", "IDABORT", "IDRETRY", "IDIGNORE", "IDYES", "IDNO"};
    return id >= 0 && id <= 7 ? kNames[id] : std::to_string(id);
}

int DlgButtonFromName(const std::string& name) {
    for (int id = IDOK; id <= IDNO; ++id)
        if (DlgButtonName(id) == name) return id;
    return 0;
}

std::vector<int> DlgBoxAnswers(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

std::string DlgRecordLine(const DlgRecord& record) {
    const std::string id = std::to_string(record.templateId);
    switch (record.kind) {
    case DlgRecordKind::WindowOpened: return "window " + id + " " + quoted(record.caption);
    case DlgRecordKind::WindowClosed: return "end " + id + " " + DlgButtonName(record.result);
    case DlgRecordKind::WindowShown: return "show " + id;
    case DlgRecordKind::WindowHidden: return "hide " + id;
    case DlgRecordKind::MessageBox:
        return "box " + id + " " + quoted(record.caption) + " " + quoted(record.text) + " " + box_type(record.type);
    case DlgRecordKind::Answer: return "answer " + DlgButtonName(record.result);
    case DlgRecordKind::Help:
        return "help " + id + " " + help_command(record.type) + " " + hex(record.data) + " " + quoted(record.text);
    case DlgRecordKind::Cursor: return "cursor " + record.caption;
    case DlgRecordKind::Ole: return "ole " + record.caption + (record.text.empty() ? "" : " " + record.text);
    }
    return "?";
}
