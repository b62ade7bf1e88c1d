// CDialog: the modal life cycle and the control operations of a dialog.
#include "dialog_internal.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

// The base map: OK and Cancel buttons, the close box and the window's end reach the virtual
// handlers, which the dialog classes override.
const DlgMessageMap* CDialog::GetThisMessageMap() {
    typedef CDialog ThisClass;
    static const DlgMessageEntry entries[] = {
        ON_BN_CLICKED(IDOK, OnOK)
        ON_BN_CLICKED(IDCANCEL, OnCancel)
        ON_WM_CLOSE()
        ON_WM_DESTROY()
        ON_WM_SYSCOMMAND()
        {0, 0, 0, DlgSignature::End, nullptr, nullptr, nullptr, nullptr, nullptr}};
    static const DlgMessageMap map = {nullptr, entries};
    return &map;
}

const DlgMessageMap* CDialog::GetMessageMap() const { return GetThisMessageMap(); }

CDialog::CDialog(UINT templateId, CDialog* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() = default;

namespace {

// Takes the window off the open list however DoModal is left.
class OpenWindowScope {
public:
    explicit OpenWindowScope(CDialog& dialog) : dialog_(dialog) { dlg_push_open(dialog); }
    ~OpenWindowScope() { dlg_pop_open(dialog_); }
    OpenWindowScope(const OpenWindowScope&) = delete;
    OpenWindowScope& operator=(const OpenWindowScope&) = delete;

private:
    CDialog& dialog_;
};

void record_window(DlgRecordKind kind, const DlgWindow& window, int result = 0) {
    DlgRecord record{kind};
    record.templateId = window.source->id;
    record.caption = window.caption;
    record.result = result;
    DlgAddRecord(record);
}

}  // namespace

INT_PTR CDialog::DoModal() {
    const DlgTemplate* source = DlgFindTemplate(templateId_);
    DlgBackend* backend = DlgGetBackend();
    if (!source || !backend || window_) return -1;
    window_ = dlg_make_window(*this, *source);
    struct Release {
        std::unique_ptr<DlgWindow>& window;
        ~Release() { window.reset(); }
    } release{window_};
    OpenWindowScope open(*this);
    record_window(DlgRecordKind::WindowOpened, *window_);
    if (DlgDispatch::InitDialog(*this) && window_->focusId == 0 && !window_->ended) {
        for (const auto& control : window_->controls) {
            if (control->takesFocus()) {
                DlgDispatch::SetFocus(*this, control->id);
                break;
            }
        }
    }
    if (!window_->ended) backend->RunModal(*this);
    DlgDispatch::Send(*this, WM_DESTROY, 0, 0);
    const int result = window_->result;
    record_window(DlgRecordKind::WindowClosed, *window_, result);
    return result;
}

void CDialog::EndDialog(int result) {
    if (!window_) return;
    window_->ended = true;
    window_->result = result;
}

BOOL CDialog::OnInitDialog() { return TRUE; }
void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }
void CDialog::OnClose() { OnCancel(); }
void CDialog::OnDestroy() {}

void CDialog::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == SC_CLOSE) DlgDispatch::Send(*this, WM_CLOSE, 0, 0);
}

HWND CDialog::GetSafeHwnd() const { return window_ ? window_->handle() : nullptr; }

HWND CDialog::GetDlgItem(int id) const {
    DlgControl* control = window_ ? window_->find(id) : nullptr;
    return control ? control->handle() : nullptr;
}

namespace {

DlgControl* control_of(const std::unique_ptr<DlgWindow>& window, int id) {
    return window ? window->find(id) : nullptr;
}

bool is_list(const DlgControl* control) {
    return control && (control->kind == DlgControlKind::ListBox || control->kind == DlgControlKind::ComboBox);
}

bool has_range(const DlgControl* control) {
    return control && (control->kind == DlgControlKind::Slider || control->kind == DlgControlKind::ScrollBar ||
                       control->kind == DlgControlKind::ProgressBar);
}

}  // namespace

void CDialog::SetWindowText(const char* text) {
    if (!window_) return;
    window_->caption = text ? text : "";
    if (DlgGetBackend()) DlgGetBackend()->Changed(*this, 0);
}

std::string CDialog::GetWindowText() const { return window_ ? window_->caption : std::string(); }

void CDialog::SetDlgItemText(int id, const char* text) {
    DlgControl* control = control_of(window_, id);
    if (!control) return;
    control->text = text ? text : "";
    if (control->kind == DlgControlKind::Edit) DlgDispatch::Command(*this, id, EN_CHANGE);
    DlgGetBackend()->Changed(*this, id);
}

std::string CDialog::GetDlgItemText(int id) const {
    DlgControl* control = control_of(window_, id);
    return control ? control->text : std::string();
}

UINT CDialog::GetDlgItemText(int id, char* buffer, int size) const {
    if (!buffer || size <= 0) return 0;
    const std::string text = GetDlgItemText(id);
    const size_t copied = std::min(text.size(), static_cast<size_t>(size - 1));
    memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

void CDialog::LimitText(int id, int maxCharacters) {
    DlgControl* control = control_of(window_, id);
    if (control && control->kind == DlgControlKind::Edit) control->textLimit = maxCharacters > 0 ? maxCharacters : 30000;
}

void CDialog::CheckDlgButton(int id, UINT check) {
    DlgControl* control = control_of(window_, id);
    if (!control) return;
    control->check = check;
    DlgGetBackend()->Changed(*this, id);
}

UINT CDialog::IsDlgButtonChecked(int id) const {
    DlgControl* control = control_of(window_, id);
    return control ? control->check : BST_UNCHECKED;
}

void CDialog::EnableDlgItem(int id, BOOL enable) {
    DlgControl* control = control_of(window_, id);
    if (!control) return;
    control->enabled = enable != FALSE;
    // A control that is disabled gives up the focus, as on the platform.
    if (!control->enabled && window_->focusId == id) window_->focusId = 0;
    DlgGetBackend()->Changed(*this, id);
}

BOOL CDialog::IsDlgItemEnabled(int id) const {
    DlgControl* control = control_of(window_, id);
    return control && control->enabled;
}

void CDialog::ShowDlgItem(int id, BOOL show) {
    DlgControl* control = control_of(window_, id);
    if (!control) return;
    control->visible = show != FALSE;
    DlgGetBackend()->Changed(*this, id);
}

void CDialog::GotoDlgCtrl(int id) {
    if (control_of(window_, id)) DlgDispatch::SetFocus(*this, id);
}

int CDialog::GetFocusId() const { return window_ ? window_->focusId : 0; }

int CDialog::ListAddString(int id, const char* text) {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control)) return LB_ERR;
    std::string line = text ? text : "";
    size_t at = control->items.size();
    // As on the platform, a sorted list orders its lines without regard to case.
    if (control->style & DLGS_SORTED)
        at = std::upper_bound(control->items.begin(), control->items.end(), line,
                              [](const std::string& a, const std::string& b) {
                                  return strcasecmp(a.c_str(), b.c_str()) < 0;
                              }) -
             control->items.begin();
    control->items.insert(control->items.begin() + at, line);
    control->itemChecks.insert(control->itemChecks.begin() + at, 0);
    if (control->selection >= static_cast<int>(at)) ++control->selection;
    DlgGetBackend()->Changed(*this, id);
    return static_cast<int>(at);
}

int CDialog::ListInsertString(int id, int index, const char* text) {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control)) return LB_ERR;
    const int count = static_cast<int>(control->items.size());
    if (index < 0) index = count;
    if (index > count) return LB_ERR;
    control->items.insert(control->items.begin() + index, text ? text : "");
    control->itemChecks.insert(control->itemChecks.begin() + index, 0);
    if (control->selection >= index) ++control->selection;
    DlgGetBackend()->Changed(*this, id);
    return index;
}

int CDialog::ListDeleteString(int id, int index) {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control) || index < 0 || index >= static_cast<int>(control->items.size())) return LB_ERR;
    control->items.erase(control->items.begin() + index);
    control->itemChecks.erase(control->itemChecks.begin() + index);
    if (control->selection == index)
        control->selection = -1;
    else if (control->selection > index)
        --control->selection;
    DlgGetBackend()->Changed(*this, id);
    return static_cast<int>(control->items.size());
}

void CDialog::ListResetContent(int id) {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control)) return;
    control->items.clear();
    control->itemChecks.clear();
    control->selection = -1;
    DlgGetBackend()->Changed(*this, id);
}

int CDialog::ListGetCount(int id) const {
    DlgControl* control = control_of(window_, id);
    return is_list(control) ? static_cast<int>(control->items.size()) : LB_ERR;
}

std::string CDialog::ListGetText(int id, int index) const {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control) || index < 0 || index >= static_cast<int>(control->items.size())) return std::string();
    return control->items[index];
}

int CDialog::ListGetCurSel(int id) const {
    DlgControl* control = control_of(window_, id);
    return is_list(control) ? control->selection : LB_ERR;
}

int CDialog::ListSetCurSel(int id, int index) {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control)) return LB_ERR;
    if (index < -1 || index >= static_cast<int>(control->items.size())) {
        control->selection = -1;
        return LB_ERR;
    }
    control->selection = index;
    DlgGetBackend()->Changed(*this, id);
    return index;
}

int CDialog::ListFindStringExact(int id, const char* text) const {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control) || !text) return LB_ERR;
    for (size_t i = 0; i < control->items.size(); ++i)
        if (strcasecmp(control->items[i].c_str(), text) == 0) return static_cast<int>(i);
    return LB_ERR;
}

int CDialog::ListFindString(int id, const char* prefix) const {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control) || !prefix) return LB_ERR;
    const size_t length = strlen(prefix);
    for (size_t i = 0; i < control->items.size(); ++i)
        if (strncasecmp(control->items[i].c_str(), prefix, length) == 0) return static_cast<int>(i);
    return LB_ERR;
}

int CDialog::ListGetCheck(int id, int index) const {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control) || index < 0 || index >= static_cast<int>(control->itemChecks.size())) return LB_ERR;
    return control->itemChecks[index];
}

int CDialog::ListSetCheck(int id, int index, int check) {
    DlgControl* control = control_of(window_, id);
    if (!is_list(control) || index < 0 || index >= static_cast<int>(control->itemChecks.size())) return LB_ERR;
    control->itemChecks[index] = check;
    DlgGetBackend()->Changed(*this, id);
    return 0;
}

int CDialog::ComboAddString(int id, const char* text) { return ListAddString(id, text); }
void CDialog::ComboResetContent(int id) { ListResetContent(id); }
int CDialog::ComboGetCount(int id) const { return ListGetCount(id); }
std::string CDialog::ComboGetText(int id, int index) const { return ListGetText(id, index); }
int CDialog::ComboGetCurSel(int id) const { return ListGetCurSel(id); }
int CDialog::ComboSetCurSel(int id, int index) { return ListSetCurSel(id, index); }

void CDialog::SetRange(int id, int low, int high) {
    DlgControl* control = control_of(window_, id);
    if (!has_range(control)) return;
    control->low = std::min(low, high);
    control->high = std::max(low, high);
    control->position = std::clamp(control->position, control->low, control->high);
    DlgGetBackend()->Changed(*this, id);
}

void CDialog::SetPos(int id, int position) {
    DlgControl* control = control_of(window_, id);
    if (!has_range(control)) return;
    control->position = std::clamp(position, control->low, control->high);
    DlgGetBackend()->Changed(*this, id);
}

void CDialog::SetTicFreq(int id, int frequency) {
    DlgControl* control = control_of(window_, id);
    if (!control || control->kind != DlgControlKind::Slider) return;
    control->tickFrequency = frequency > 0 ? frequency : 0;
    DlgGetBackend()->Changed(*this, id);
}

int CDialog::GetPos(int id) const {
    DlgControl* control = control_of(window_, id);
    return has_range(control) ? control->position : 0;
}

int CDialog::MessageBox(const char* text, const char* caption, UINT type) {
    return DlgMessageBox(this, text, caption, type);
}

void CDialog::WinHelp(DWORD_PTR data, UINT command) {
    CDialogApp* app = AfxGetApp();
    DlgWinHelp(GetSafeHwnd(), app ? app->HelpFilePath().c_str() : "", command, data);
}

void CDialog::SetIcon(HICON icon, BOOL big) {
    if (!window_) return;
    (big ? window_->bigIcon : window_->smallIcon) = icon;
}

void CDialog::AppendSystemMenu(UINT flags, UINT id, const char* text) {
    if (window_) window_->systemMenu.push_back({flags, id, text ? text : ""});
}

void CDialog::ShowWindow(int command) {
    if (!window_) return;
    const bool visible = command != SW_HIDE;
    if (window_->visible == visible) return;
    window_->visible = visible;
    DlgRecord record{visible ? DlgRecordKind::WindowShown : DlgRecordKind::WindowHidden};
    record.templateId = templateId_;
    record.caption = window_->caption;
    DlgAddRecord(record);
    DlgGetBackend()->Changed(*this, 0);
}

BOOL CDialog::IsWindowVisible() const { return window_ && window_->visible; }

void CDialog::UpdateWindow() {
    if (window_) DlgGetBackend()->Changed(*this, 0);
}
