// CInsertAccessTimeDlg: the Insert access time dialog (template 162), opened from the Time
// manager window: allows a period on one day, or the same hours on every day of the week, and
// stores the schedule at once. Ends with IDOK once stored.
#pragma once

#include <dlg_dialog.h>
#include <vtperiod.h>

#include <memory>

class CInsertAccessTimeDlg : public CDialog {
public:
    explicit CInsertAccessTimeDlg(CDialog* parent = nullptr);
    ~CInsertAccessTimeDlg() override;

    int Changed() const { return m_changed; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnWholeWeek();
    void OnBeginCloseUp();
    void OnWeekBeginCloseUp();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    // Null when the store could be neither read nor restored: nothing is stored then.
    std::unique_ptr<AccessTimeTable> m_schedule;
    int m_changed = 0;
};
