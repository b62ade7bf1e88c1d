#include "rsaci_dlg.h"

#include "context_help.h"
#include "resource.h"
#include "store_read_box.h"

#include <rating_texts.h>
#include <settings_texts.h>

#include <vtlogger.h>

#include <algorithm>

namespace {

// The rows, in the order of kRsacCategories (Language, Violence, Sex, Nudity).
struct RsacRow {
    int slider;
    int level;
    int label;
};
const RsacRow kRows[4] = {
    {IDC_RSACI_LANGUAGE, IDC_RSACI_LANGUAGE_LEVEL, IDC_RSACI_LANGUAGE_LABEL},
    {IDC_RSACI_VIOLENCE, IDC_RSACI_VIOLENCE_LEVEL, IDC_RSACI_VIOLENCE_LABEL},
    {IDC_RSACI_SEX, IDC_RSACI_SEX_LEVEL, IDC_RSACI_SEX_LABEL},
    {IDC_RSACI_NUDITY, IDC_RSACI_NUDITY_LEVEL, IDC_RSACI_NUDITY_LABEL},
};
constexpr int kTopLevel = 4;

#define HELP_PAIR(id) id, DlgHelpContext(IDD_RSACI, id)
const DWORD kHelpIds[] = {
    HELP_PAIR(IDC_RSACI_ENABLE), HELP_PAIR(IDC_RSACI_LANGUAGE), HELP_PAIR(IDC_RSACI_VIOLENCE),
    HELP_PAIR(IDC_RSACI_SEX),    HELP_PAIR(IDC_RSACI_NUDITY),   HELP_PAIR(IDC_RSACI_RESTORE),
    0, 0,
};
#undef HELP_PAIR

const char* level_text(int row, int position) {
    return kRsacCategories[row].levels[std::clamp(position, 0, kTopLevel)];
}

}  // namespace

BEGIN_MESSAGE_MAP(CRsaciDlg, CDialog)
    ON_BN_CLICKED(IDC_RSACI_ENABLE, OnEnable)
    ON_BN_CLICKED(IDC_RSACI_RESTORE, OnRestore)
    ON_WM_HSCROLL()
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CRsaciDlg::CRsaciDlg(CDialog* parent) : CDialog(IDD_RSACI, parent) {}

CRsaciDlg::~CRsaciDlg() = default;

BOOL CRsaciDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (const RsacRow& row : kRows) {
        SetRange(row.slider, 0, kTopLevel);
        SetTicFreq(row.slider, 1);
    }
    LoadSettings();
    return TRUE;
}

// Reads the store (restoring the factory settings when it cannot be read) and shows the record.
void CRsaciDlg::LoadSettings() {
    m_settings = std::make_unique<RsacSettings>();
    VTLogger_Init();
    if (ReadStoreShowingError(*this, m_settings.get(), static_cast<int (*)(RsacSettings*)>(nullptr), vtrsac_read,
                               vtrsac_regen, kRsacStoreTexts, TamperLog::Submit) == StoreRead::RestoreFailed) {
        m_settings.reset();
        EnableDlgItem(IDC_RSACI_ENABLE, FALSE);
        EnableLevels(FALSE);
        return;
    }
    for (int row = 0; row < 4; ++row) {
        SetPos(kRows[row].slider, m_settings.get()->*kRsacCategories[row].field);
        SetDlgItemText(kRows[row].level, level_text(row, GetPos(kRows[row].slider)));
    }
    const bool enabled = m_settings->enabled == 1;
    CheckDlgButton(IDC_RSACI_ENABLE, enabled ? BST_CHECKED : BST_UNCHECKED);
    EnableDlgItem(IDC_RSACI_ENABLE, TRUE);
    EnableLevels(enabled);
}

void CRsaciDlg::EnableLevels(BOOL enable) {
    for (const RsacRow& row : kRows) {
        EnableDlgItem(row.slider, enable);
        EnableDlgItem(row.level, enable);
        EnableDlgItem(row.label, enable);
    }
    EnableDlgItem(IDC_RSACI_RESTORE, enable);
}

void CRsaciDlg::OnHScroll(UINT, UINT, int controlId) {
    if (!m_settings) return;
    for (int row = 0; row < 4; ++row) {
        if (kRows[row].slider != controlId) continue;
        const int position = GetPos(controlId);
        m_settings.get()->*kRsacCategories[row].field = position;
        SetDlgItemText(kRows[row].level, level_text(row, position));
    }
}

void CRsaciDlg::OnEnable() {
    if (!m_settings) return;
    const bool ticked = IsDlgButtonChecked(IDC_RSACI_ENABLE) == BST_CHECKED;
    m_settings->enabled = ticked ? 1 : 0;
    EnableLevels(ticked);
}

// Stores the record and closes; a record that cannot be stored keeps the dialog open. Without a
// record there is nothing to store: the dialog closes as if cancelled.
void CRsaciDlg::OnOK() {
    if (!m_settings) {
        CDialog::OnCancel();
        return;
    }
    if (vtrsac_write(m_settings.get()) != 1) return;
    m_changed = 1;
    m_settings.reset();
    CDialog::OnOK();
}

// The factory settings are made on a record of their own, so that a reset that cannot be stored
// leaves the levels shown and kept as they were.
void CRsaciDlg::OnRestore() {
    if (MessageBox(kRsacStoreTexts.resetQuestion, kResetCaption, MB_YESNO | MB_DEFBUTTON2) == IDYES) {
        RsacSettings factory = {};
        if (vtrsac_regen(&factory) == 1) {
            m_settings.reset();
            m_changed = 1;
            LoadSettings();
        }
    }
    CheckDlgButton(IDC_RSACI_RESTORE, BST_UNCHECKED);
}

BOOL CRsaciDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CRsaciDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
