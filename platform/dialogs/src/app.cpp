// The program object, the resources, message boxes, help and cursors of the framework.
#include "dialog_internal.h"

#include <strings.h>

namespace {

CDialogApp* g_app = nullptr;
const DlgResources* g_resources = nullptr;
DlgBackend* g_backend = nullptr;

// Icons and cursors are placeholders: a handle names the resource, nothing is drawn.
struct Picture {
    int unused;
};
Picture g_arrow, g_wait;
HCURSOR g_cursor = reinterpret_cast<HCURSOR>(&g_arrow);

bool switch_named(const std::string& argument, const char* name) {
    return (argument[0] == '/' || argument[0] == '-') && strcasecmp(argument.c_str() + 1, name) == 0;
}

}  // namespace

CDialogApp::CDialogApp() = default;

CDialogApp::~CDialogApp() {
    if (g_app == this) g_app = nullptr;
}

int CDialogApp::ExitInstance() { return 0; }

int CDialogApp::Run(const std::vector<std::string>& arguments) {
    arguments_ = arguments;
    if (helpFile_.empty()) {
        // The framework's default: the program's own name with ".hlp", beside it.
        char module[MAX_PATH] = {};
        DWORD length = GetModuleFileNameA(nullptr, module, sizeof(module));
        std::string path(module, length);
        size_t dot = path.find_last_of('.');
        size_t slash = path.find_last_of("\\/");
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
        helpFile_ = path + ".hlp";
    }
    CDialogApp* previous = g_app;
    g_app = this;
    struct Restore {
        CDialogApp* previous;
        ~Restore() { g_app = previous; }
    } restore{previous};
    InitInstance();
    return ExitInstance();
}

BOOL CDialogApp::RunEmbedded() const {
    for (const std::string& argument : arguments_)
        if (!argument.empty() && switch_named(argument, "Embedding")) return TRUE;
    return FALSE;
}

BOOL CDialogApp::RunAutomated() const {
    for (const std::string& argument : arguments_)
        if (!argument.empty() && switch_named(argument, "Automation")) return TRUE;
    return FALSE;
}

HICON CDialogApp::LoadIcon(UINT resource) const {
    // The resource number itself stands for the icon; 0 is no icon.
    return reinterpret_cast<HICON>(static_cast<UINT_PTR>(resource));
}

BOOL CDialogApp::Enable3dControls() { return TRUE; }

CDialogApp* AfxGetApp() { return g_app; }

void DlgSetResources(const DlgResources* resources) { g_resources = resources; }

const DlgTemplate* DlgFindTemplate(UINT id) {
    if (!g_resources) return nullptr;
    for (size_t i = 0; i < g_resources->templateCount; ++i)
        if (g_resources->templates[i].id == id) return &g_resources->templates[i];
    return nullptr;
}

std::string DlgLoadString(UINT id) {
    if (!g_resources) return std::string();
    for (size_t i = 0; i < g_resources->stringCount; ++i)
        if (g_resources->strings[i].id == id) return g_resources->strings[i].text;
    return std::string();
}

DlgBackend::~DlgBackend() = default;
void DlgBackend::Changed(CDialog&, int) {}
void DlgBackend::WaitCursor(bool) {}

void DlgSetBackend(DlgBackend* backend) { g_backend = backend; }
DlgBackend* DlgGetBackend() {
    // Without a backend nothing is shown: programmatic changes go nowhere.
    static struct : DlgBackend {
        void RunModal(CDialog& dialog) override { dialog.EndDialog(-1); }
        int MessageBox(CDialog*, const char*, const char*, UINT) override { return 0; }
    } none;
    return g_backend ? g_backend : &none;
}

int DlgMessageBox(CDialog* owner, const char* text, const char* caption, UINT type) {
    DlgRecord box{DlgRecordKind::MessageBox};
    box.templateId = owner ? owner->TemplateId() : 0;
    box.caption = caption ? caption : "Error";  // the platform's caption when none is given
    box.text = text ? text : "";
    box.type = type;
    DlgAddRecord(box);
    const int answer = DlgGetBackend()->MessageBox(owner, box.text.c_str(), box.caption.c_str(), type);
    DlgRecord answered{DlgRecordKind::Answer};
    answered.templateId = box.templateId;
    answered.result = answer;
    DlgAddRecord(answered);
    return answer;
}

BOOL DlgWinHelp(HWND window, const char* file, UINT command, DWORD_PTR data) {
    DlgWindow* owner = nullptr;
    DlgControl* control = nullptr;
    DlgResolveHandle(window, &owner, &control);
    DlgRecord record{DlgRecordKind::Help};
    record.templateId = owner ? owner->source->id : 0;
    record.text = file ? file : "";
    record.type = command;
    record.data = data;
    if (command == HELP_WM_HELP || command == HELP_CONTEXTMENU) {
        // The table pairs control identifiers with help contexts, ending in 0, 0; the record keeps
        // the context found for the control (0 when the table has none).
        record.data = 0;
        const DWORD* table = reinterpret_cast<const DWORD*>(data);
        for (; table && control && (table[0] || table[1]); table += 2) {
            if (static_cast<int>(table[0]) == control->id) {
                record.data = table[1];
                break;
            }
        }
    }
    DlgAddRecord(record);
    return TRUE;
}

HCURSOR DlgLoadCursor(LPCSTR standardCursor) {
    if (standardCursor == IDC_WAIT) return reinterpret_cast<HCURSOR>(&g_wait);
    if (standardCursor == IDC_ARROW) return reinterpret_cast<HCURSOR>(&g_arrow);
    return nullptr;
}

HCURSOR DlgSetCursor(HCURSOR cursor) {
    HCURSOR previous = g_cursor;
    g_cursor = cursor;
    DlgRecord record{DlgRecordKind::Cursor};
    if (cursor == reinterpret_cast<HCURSOR>(&g_wait))
        record.caption = "IDC_WAIT";
    else if (cursor == reinterpret_cast<HCURSOR>(&g_arrow))
        record.caption = "IDC_ARROW";
    else
        record.caption = cursor ? "other" : "none";
    DlgAddRecord(record);
    const bool wait = cursor == reinterpret_cast<HCURSOR>(&g_wait);
    if (wait != (previous == reinterpret_cast<HCURSOR>(&g_wait))) DlgGetBackend()->WaitCursor(wait);
    return previous;
}
