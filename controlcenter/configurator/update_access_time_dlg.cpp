#include "update_access_time_dlg.h"

#include "context_help.h"
#include "resource.h"
#include "time_lists.h"
#include "time_message.h"

namespace {

// The lists are documented under the Insert dialog's topics, the Delete button under this one's.
const DWORD kHelpIds[] = {
    IDC_UPDATE_DAY,    DlgHelpContext(IDD_INSERT_ACCESS_TIME, IDC_UPDATE_DAY),
    IDC_UPDATE_END,    DlgHelpContext(IDD_INSERT_ACCESS_TIME, IDC_UPDATE_END),
    IDC_UPDATE_BEGIN,  DlgHelpContext(IDD_INSERT_ACCESS_TIME, IDC_UPDATE_BEGIN),
    IDC_UPDATE_DELETE, DlgHelpContext(IDD_UPDATE_ACCESS_TIME, IDC_UPDATE_DELETE),
    0, 0,
};

}  // namespace

BEGIN_MESSAGE_MAP(CUpdateAccessTimeDlg, CDialog)
    ON_BN_CLICKED(IDC_UPDATE_DELETE, OnDelete)
    ON_CBN_CLOSEUP(IDC_UPDATE_BEGIN, OnBeginCloseUp)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CUpdateAccessTimeDlg::CUpdateAccessTimeDlg(const AccessPeriod& period, CDialog* parent)
    : CDialog(IDD_UPDATE_ACCESS_TIME, parent), m_old(period) {}

CUpdateAccessTimeDlg::~CUpdateAccessTimeDlg() = default;

BOOL CUpdateAccessTimeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillDayList(*this, IDC_UPDATE_DAY);
    FillBeginList(*this, IDC_UPDATE_BEGIN);
    FillEndList(*this, IDC_UPDATE_END);
    ComboSetCurSel(IDC_UPDATE_DAY, m_old.day);
    ComboSetCurSel(IDC_UPDATE_BEGIN, m_old.begin);
    ComboSetCurSel(IDC_UPDATE_END, m_old.end);

    m_schedule = std::make_unique<AccessTimeTable>();
    vtperiod_init(m_schedule.get());
    if (vtperiod_read(m_schedule.get()) != 1) {
        ShowTimeError(*this, kTimeRetrievingError);
        m_schedule.reset();
    }
    return TRUE;
}

void CUpdateAccessTimeDlg::OnBeginCloseUp() { EndAfterBegin(*this, IDC_UPDATE_BEGIN, IDC_UPDATE_END); }

// The change is made on a copy of the schedule, kept only once stored, so that a store that fails
// leaves the schedule as it was for another try.
void CUpdateAccessTimeDlg::StoreOrShow(const AccessTimeTable& changed, const char* failure) {
    AccessTimeTable stored = changed;
    if (vtperiod_write(&stored) != 1) {
        ShowTimeError(*this, failure);
        return;
    }
    m_changed = 1;
    m_schedule.reset();
    CDialog::OnOK();
}

void CUpdateAccessTimeDlg::OnOK() {
    if (!m_schedule) {
        ShowTimeError(*this, kTimeUpdatingError);
        return;
    }
    const AccessPeriod period = {ComboGetCurSel(IDC_UPDATE_DAY), ComboGetCurSel(IDC_UPDATE_BEGIN),
                                 ComboGetCurSel(IDC_UPDATE_END)};
    AccessTimeTable moved = *m_schedule;
    TimeMessage message;
    if (!UpdateAccessTime(&moved, m_old, period, &message)) {
        ShowTimeError(*this, message.text.c_str());
        return;
    }
    StoreOrShow(moved, kTimeUpdatingError);
}

void CUpdateAccessTimeDlg::OnDelete() {
    if (!m_schedule) {
        ShowTimeError(*this, kTimeDeletingError);
        return;
    }
    if (MessageBox(kTimeDeleteQuestion, "Delete access time", MB_YESNO | MB_DEFBUTTON2) != IDYES) return;
    AccessTimeTable cleared = *m_schedule;
    DeleteAccessTime(&cleared, m_old);
    StoreOrShow(cleared, kTimeDeletingError);
}

void CUpdateAccessTimeDlg::OnCancel() {
    m_schedule.reset();
    m_changed = 0;
    CDialog::OnCancel();
}

BOOL CUpdateAccessTimeDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CUpdateAccessTimeDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
