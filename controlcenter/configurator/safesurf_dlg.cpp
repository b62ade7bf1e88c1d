#include "safesurf_dlg.h"

#include "context_help.h"
#include "resource.h"
#include "store_read_box.h"

#include <rating_texts.h>
#include <settings_texts.h>

#include <vtlogger.h>

namespace {

// The controls of each category, in record order (SS~~000 Age Range .. SS~~00A Gambling).
struct SafeSurfRow {
    int slider;
    int level;
    int label;
};
const SafeSurfRow kRows[SAFESURF_CATEGORY_COUNT] = {
    {IDC_SS_AGE_RANGE, IDC_SS_AGE_RANGE_LEVEL, IDC_SS_AGE_RANGE_LABEL},
    {IDC_SS_PROFANITY, IDC_SS_PROFANITY_LEVEL, IDC_SS_PROFANITY_LABEL},
    {IDC_SS_HETEROSEXUAL, IDC_SS_HETEROSEXUAL_LEVEL, IDC_SS_HETEROSEXUAL_LABEL},
    {IDC_SS_HOMOSEXUAL, IDC_SS_HOMOSEXUAL_LEVEL, IDC_SS_HOMOSEXUAL_LABEL},
    {IDC_SS_NUDITY, IDC_SS_NUDITY_LEVEL, IDC_SS_NUDITY_LABEL},
    {IDC_SS_VIOLENCE, IDC_SS_VIOLENCE_LEVEL, IDC_SS_VIOLENCE_LABEL},
    {IDC_SS_SEX_VIOLENCE_PROFANITY, IDC_SS_SEX_VIOLENCE_PROFANITY_LEVEL, IDC_SS_SEX_VIOLENCE_PROFANITY_LABEL},
    {IDC_SS_INTOLERANCE, IDC_SS_INTOLERANCE_LEVEL, IDC_SS_INTOLERANCE_LABEL},
    {IDC_SS_DRUG_USE, IDC_SS_DRUG_USE_LEVEL, IDC_SS_DRUG_USE_LABEL},
    {IDC_SS_OTHER_ADULT, IDC_SS_OTHER_ADULT_LEVEL, IDC_SS_OTHER_ADULT_LABEL},
    {IDC_SS_GAMBLING, IDC_SS_GAMBLING_LEVEL, IDC_SS_GAMBLING_LABEL},
};
constexpr int kTopPosition = 8;  // SafeSurf level 9

#define HELP_PAIR(id) id, DlgHelpContext(IDD_SAFESURF, id)
const DWORD kHelpIds[] = {
    HELP_PAIR(IDC_SAFESURF_ENABLE),
    HELP_PAIR(IDC_SS_AGE_RANGE),
    HELP_PAIR(IDC_SS_VIOLENCE),
    HELP_PAIR(IDC_SS_PROFANITY),
    HELP_PAIR(IDC_SS_HETEROSEXUAL),
    HELP_PAIR(IDC_SS_HOMOSEXUAL),
    HELP_PAIR(IDC_SS_NUDITY),
    HELP_PAIR(IDC_SS_SEX_VIOLENCE_PROFANITY),
    HELP_PAIR(IDC_SS_INTOLERANCE),
    HELP_PAIR(IDC_SS_DRUG_USE),
    HELP_PAIR(IDC_SS_OTHER_ADULT),
    HELP_PAIR(IDC_SS_GAMBLING),
    HELP_PAIR(IDC_SAFESURF_RESTORE),
    0, 0,
};
#undef HELP_PAIR

}  // namespace

BEGIN_MESSAGE_MAP(CSafeSurfDlg, CDialog)
    ON_BN_CLICKED(IDC_SAFESURF_ENABLE, OnEnable)
    ON_BN_CLICKED(IDC_SAFESURF_RESTORE, OnRestore)
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CSafeSurfDlg::CSafeSurfDlg(CDialog* parent) : CDialog(IDD_SAFESURF, parent) {}

CSafeSurfDlg::~CSafeSurfDlg() = default;

BOOL CSafeSurfDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    LoadSettings();
    return TRUE;
}

// Reads the store (restoring the factory settings when it cannot be read) and shows the record.
void CSafeSurfDlg::LoadSettings() {
    m_settings = std::make_unique<SafeSurfSettings>();
    VTLogger_Init();
    if (ReadStoreShowingError(*this, m_settings.get(), vtssurf_init, vtssurf_read, vtssurf_regen,
                               kSafeSurfStoreTexts, TamperLog::Submit) == StoreRead::RestoreFailed) {
        m_settings.reset();
        EnableDlgItem(IDC_SAFESURF_ENABLE, FALSE);
        EnableLevels(FALSE);
        return;
    }
    CheckDlgButton(IDC_SAFESURF_ENABLE, m_settings->enabled == 1 ? BST_CHECKED : BST_UNCHECKED);
    EnableDlgItem(IDC_SAFESURF_ENABLE, TRUE);
    CheckDlgButton(IDC_SAFESURF_RESTORE, BST_UNCHECKED);
    for (int category = 0; category < SAFESURF_CATEGORY_COUNT; ++category) {
        const int slider = kRows[category].slider;
        SetRange(slider, 0, kTopPosition);
        SetTicFreq(slider, 1);
        SetPos(slider, m_settings->levels[category]);
        SetDlgItemText(kRows[category].level, SafeSurfLevelText(category, GetPos(slider)));
    }
    ApplyEnableBox();
}

void CSafeSurfDlg::ApplyEnableBox() {
    const bool ticked = IsDlgButtonChecked(IDC_SAFESURF_ENABLE) == BST_CHECKED;
    if (m_settings) m_settings->enabled = ticked ? 1 : 0;
    EnableLevels(ticked);
}

void CSafeSurfDlg::EnableLevels(BOOL enable) {
    for (const SafeSurfRow& row : kRows) {
        EnableDlgItem(row.slider, enable);
        EnableDlgItem(row.level, enable);
        EnableDlgItem(row.label, enable);
    }
    EnableDlgItem(IDC_SAFESURF_RESTORE, enable);
}

void CSafeSurfDlg::OnHScroll(UINT, UINT, int controlId) {
    if (!m_settings) return;
    for (int category = 0; category < SAFESURF_CATEGORY_COUNT; ++category) {
        if (kRows[category].slider != controlId) continue;
        const int position = GetPos(controlId);
        m_settings->levels[category] = position;
        SetDlgItemText(kRows[category].level, SafeSurfLevelText(category, position));
    }
}

// An upright slider reports its moves vertically; they mean the same.
void CSafeSurfDlg::OnVScroll(UINT code, UINT position, int controlId) { OnHScroll(code, position, controlId); }

void CSafeSurfDlg::OnEnable() {
    if (m_settings) ApplyEnableBox();
}

// Stores the record, enabled as the box says, and closes with IDOK; a record that cannot be stored
// keeps the dialog open. Without a record there is nothing to store: the dialog closes as if
// cancelled.
void CSafeSurfDlg::OnOK() {
    if (!m_settings) {
        OnCancel();
        return;
    }
    m_settings->enabled = IsDlgButtonChecked(IDC_SAFESURF_ENABLE) == BST_CHECKED ? 1 : 0;
    if (vtssurf_write(m_settings.get()) != 1) return;
    m_changed = 1;
    m_settings.reset();
    CDialog::OnOK();
}

void CSafeSurfDlg::OnCancel() {
    m_settings.reset();
    CDialog::OnCancel();
}

// The factory settings are made on a record of their own, so that a reset that cannot be stored
// leaves the levels shown and kept as they were. A successful reset shows them (and clears the
// box); No clears the box.
void CSafeSurfDlg::OnRestore() {
    if (MessageBox(kSafeSurfStoreTexts.resetQuestion, kResetCaption, MB_YESNO | MB_DEFBUTTON2) != IDYES) {
        CheckDlgButton(IDC_SAFESURF_RESTORE, BST_UNCHECKED);
        return;
    }
    SafeSurfSettings factory = {};
    if (vtssurf_regen(&factory) == 1) {
        m_settings.reset();
        m_changed = 1;
        LoadSettings();
    }
}

BOOL CSafeSurfDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CSafeSurfDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
