#include "time_manager_dlg.h"

#include "context_help.h"
#include "insert_access_time_dlg.h"
#include "resource.h"
#include "store_read_box.h"
#include "time_message.h"
#include "update_access_time_dlg.h"

#include <settings_texts.h>

#include <vtlogger.h>

namespace {

#define HELP_PAIR(id) id, DlgHelpContext(IDD_TIME_MANAGER, id)
const DWORD kHelpIds[] = {
    HELP_PAIR(IDC_TIME_PERIODS), HELP_PAIR(IDC_TIME_ENABLE), HELP_PAIR(IDC_TIME_WARNING), HELP_PAIR(IDC_TIME_RESTORE),
    0, 0,
};
#undef HELP_PAIR

}  // namespace

BEGIN_MESSAGE_MAP(CTimeManagerDlg, CDialog)
    ON_BN_CLICKED(IDC_TIME_ENABLE, OnEnable)
    ON_CBN_SELCHANGE(IDC_TIME_WARNING, OnWarningChosen)
    ON_BN_CLICKED(IDC_TIME_INSERT, OnInsert)
    ON_LBN_DBLCLK(IDC_TIME_PERIODS, OnPeriodDoubleClick)
    ON_BN_CLICKED(IDC_TIME_RESTORE, OnRestore)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CTimeManagerDlg::CTimeManagerDlg(CDialog* parent) : CDialog(IDD_TIME_MANAGER, parent) {}

CTimeManagerDlg::~CTimeManagerDlg() = default;

BOOL CTimeManagerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    for (const char* text : kWarningTexts) ComboAddString(IDC_TIME_WARNING, text);
    LoadSchedule();
    return TRUE;
}

// Reads the store (restoring the factory settings when it cannot be read) and shows the schedule.
void CTimeManagerDlg::LoadSchedule() {
    m_periods.clear();
    m_schedule = std::make_unique<AccessTimeTable>();
    VTLogger_Init();
    if (ReadStoreShowingError(*this, m_schedule.get(), vtperiod_init, vtperiod_read, vtperiod_regen, kTimeStoreTexts,
                              TamperLog::Submit) == StoreRead::RestoreFailed) {
        m_schedule.reset();
        ListResetContent(IDC_TIME_PERIODS);
        ShowDlgItem(IDC_TIME_MORE_PERIODS, FALSE);
        EnableDlgItem(IDC_TIME_ENABLE, FALSE);
        EnableSchedule(FALSE);
        return;
    }
    ShowSchedule();
    const bool enabled = m_schedule->enabled == 1;
    CheckDlgButton(IDC_TIME_ENABLE, enabled ? BST_CHECKED : BST_UNCHECKED);
    EnableDlgItem(IDC_TIME_ENABLE, TRUE);
    EnableSchedule(enabled);
    CheckDlgButton(IDC_TIME_RESTORE, BST_UNCHECKED);
}

// The period list (at most kMaxListedPeriods lines, and a note when more periods are allowed) and
// the warning chosen.
void CTimeManagerDlg::ShowSchedule() {
    ListResetContent(IDC_TIME_PERIODS);
    m_periods = ListPeriods(*m_schedule);
    const bool more = m_periods.size() > static_cast<size_t>(kMaxListedPeriods);
    if (more) m_periods.resize(kMaxListedPeriods);
    for (const AccessPeriod& period : m_periods) ListAddString(IDC_TIME_PERIODS, PeriodListText(period).c_str());
    SetDlgItemText(IDC_TIME_MORE_PERIODS, more ? MorePeriodsText().c_str() : "");
    ShowDlgItem(IDC_TIME_MORE_PERIODS, more);
    ComboSetCurSel(IDC_TIME_WARNING, WarningIndex(m_schedule->warningMinutes));
}

void CTimeManagerDlg::EnableSchedule(BOOL enable) {
    EnableDlgItem(IDC_TIME_PERIODS, enable);
    EnableDlgItem(IDC_TIME_INSERT, enable);
    EnableDlgItem(IDC_TIME_WARNING, enable);
    EnableDlgItem(IDC_TIME_WARNING_LABEL, enable);
    EnableDlgItem(IDC_TIME_RESTORE, enable);
}

// The store's content afresh, after a period dialog or a reset stored a new schedule.
void CTimeManagerDlg::Reload() {
    ListResetContent(IDC_TIME_PERIODS);
    m_periods.clear();
    m_schedule.reset();
    LoadSchedule();
}

void CTimeManagerDlg::Store() {
    if (vtperiod_write(m_schedule.get()) != 1) ShowTimeError(*this, kTimeStoringError);
    m_changed = 1;
}

// The schedule is read afresh before the switch is stored with it; one that cannot be read is
// replaced by the factory schedule, which the list then shows.
void CTimeManagerDlg::OnEnable() {
    if (!m_schedule) return;
    if (ReadStoreShowingError(*this, m_schedule.get(), static_cast<int (*)(AccessTimeTable*)>(nullptr), vtperiod_read,
                              vtperiod_regen, kTimeStoreTexts, TamperLog::Skip) != StoreRead::Read)
        ShowSchedule();
    const bool ticked = IsDlgButtonChecked(IDC_TIME_ENABLE) == BST_CHECKED;
    m_schedule->enabled = ticked ? 1 : 0;
    EnableSchedule(ticked);
    Store();
}

void CTimeManagerDlg::OnWarningChosen() {
    if (!m_schedule) return;
    m_schedule->warningMinutes = WarningMinutes(ComboGetCurSel(IDC_TIME_WARNING));
    Store();
}

void CTimeManagerDlg::OnInsert() {
    if (!m_schedule) return;
    CInsertAccessTimeDlg dialog(this);
    if (dialog.DoModal() != IDOK) return;
    m_changed = 1;
    Reload();
}

void CTimeManagerDlg::OnPeriodDoubleClick() {
    if (!m_schedule) return;
    const int line = ListGetCurSel(IDC_TIME_PERIODS);
    if (line < 0 || line >= static_cast<int>(m_periods.size())) return;
    CUpdateAccessTimeDlg dialog(m_periods[line], this);
    if (dialog.DoModal() != IDOK) return;
    m_changed = 1;
    Reload();
}

// The factory schedule is made on a record of its own, so that a reset that cannot be stored
// leaves the schedule kept as it was.
void CTimeManagerDlg::OnRestore() {
    if (MessageBox(kTimeStoreTexts.resetQuestion, kResetCaption, MB_YESNO | MB_DEFBUTTON2) != IDYES) {
        CheckDlgButton(IDC_TIME_RESTORE, BST_UNCHECKED);
        return;
    }
    AccessTimeTable factory = {};
    if (vtperiod_regen(&factory) != 1) return;
    m_changed = 1;
    Reload();
}

void CTimeManagerDlg::OnOK() {
    m_schedule.reset();
    m_periods.clear();
    CDialog::OnOK();
}

BOOL CTimeManagerDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CTimeManagerDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
