#include "insert_access_time_dlg.h"

#include "context_help.h"
#include "resource.h"
#include "store_read_box.h"
#include "time_lists.h"
#include "time_message.h"

#include <settings_texts.h>
#include <time_rules.h>

namespace {

#define HELP_PAIR(id) id, DlgHelpContext(IDD_INSERT_ACCESS_TIME, id)
const DWORD kHelpIds[] = {
    HELP_PAIR(IDC_INSERT_WHOLE_WEEK), HELP_PAIR(IDC_INSERT_DAY),        HELP_PAIR(IDC_INSERT_BEGIN),
    HELP_PAIR(IDC_INSERT_END),        HELP_PAIR(IDC_INSERT_WEEK_BEGIN), HELP_PAIR(IDC_INSERT_WEEK_END),
    0, 0,
};
#undef HELP_PAIR

}  // namespace

BEGIN_MESSAGE_MAP(CInsertAccessTimeDlg, CDialog)
    ON_BN_CLICKED(IDC_INSERT_WHOLE_WEEK, OnWholeWeek)
    ON_CBN_CLOSEUP(IDC_INSERT_BEGIN, OnBeginCloseUp)
    ON_CBN_CLOSEUP(IDC_INSERT_WEEK_BEGIN, OnWeekBeginCloseUp)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CInsertAccessTimeDlg::CInsertAccessTimeDlg(CDialog* parent) : CDialog(IDD_INSERT_ACCESS_TIME, parent) {}

CInsertAccessTimeDlg::~CInsertAccessTimeDlg() = default;

BOOL CInsertAccessTimeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillDayList(*this, IDC_INSERT_DAY);
    FillBeginList(*this, IDC_INSERT_BEGIN);
    FillEndList(*this, IDC_INSERT_END);
    FillBeginList(*this, IDC_INSERT_WEEK_BEGIN);
    FillEndList(*this, IDC_INSERT_WEEK_END);
    ComboSetCurSel(IDC_INSERT_DAY, 0);
    ComboSetCurSel(IDC_INSERT_BEGIN, 0);
    ComboSetCurSel(IDC_INSERT_END, 1);
    ComboSetCurSel(IDC_INSERT_WEEK_BEGIN, 0);
    ComboSetCurSel(IDC_INSERT_WEEK_END, 1);

    m_schedule = std::make_unique<AccessTimeTable>();
    if (ReadStoreShowingError(*this, m_schedule.get(), vtperiod_init, vtperiod_read, vtperiod_regen, kTimeStoreTexts,
                              TamperLog::Skip) == StoreRead::RestoreFailed)
        m_schedule.reset();
    return TRUE;
}

void CInsertAccessTimeDlg::OnWholeWeek() {
    const BOOL week = IsDlgButtonChecked(IDC_INSERT_WHOLE_WEEK) == BST_CHECKED;
    EnableDlgItem(IDC_INSERT_WEEK_BEGIN, week);
    EnableDlgItem(IDC_INSERT_WEEK_END, week);
    EnableDlgItem(IDC_INSERT_DAY, !week);
    EnableDlgItem(IDC_INSERT_BEGIN, !week);
    EnableDlgItem(IDC_INSERT_END, !week);
}

void CInsertAccessTimeDlg::OnBeginCloseUp() { EndAfterBegin(*this, IDC_INSERT_BEGIN, IDC_INSERT_END); }

void CInsertAccessTimeDlg::OnWeekBeginCloseUp() { EndAfterBegin(*this, IDC_INSERT_WEEK_BEGIN, IDC_INSERT_WEEK_END); }

// Marks the period on a copy of the schedule and keeps the copy only once it is stored, so that
// a store that fails leaves the schedule as it was for another try.
void CInsertAccessTimeDlg::OnOK() {
    if (!m_schedule) {
        ShowTimeError(*this, kTimeStoringError);
        return;
    }
    const bool week = IsDlgButtonChecked(IDC_INSERT_WHOLE_WEEK) == BST_CHECKED;
    AccessPeriod period;
    period.day = week ? 0 : ComboGetCurSel(IDC_INSERT_DAY);
    period.begin = ComboGetCurSel(week ? IDC_INSERT_WEEK_BEGIN : IDC_INSERT_BEGIN);
    period.end = ComboGetCurSel(week ? IDC_INSERT_WEEK_END : IDC_INSERT_END);
    AccessTimeTable marked = *m_schedule;
    TimeMessage message;
    if (!InsertAccessTime(&marked, week, period, &message)) {
        ShowTimeError(*this, message.text.c_str());
        return;
    }
    if (vtperiod_write(&marked) != 1) {
        ShowTimeError(*this, kTimeStoringError);
        return;
    }
    m_changed = 1;
    m_schedule.reset();
    CDialog::OnOK();
}

void CInsertAccessTimeDlg::OnCancel() {
    m_schedule.reset();
    m_changed = 0;
    CDialog::OnCancel();
}

BOOL CInsertAccessTimeDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CInsertAccessTimeDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
