// CTimeManagerDlg: the Time manager window (template 164): the weekly periods of allowed Internet
// access, whether the schedule is enforced, the warning before an allowed period ends, and the
// factory reset. Every change is stored at once (periods through the Insert and Update or delete
// dialogs); the changed flag tells the Advanced settings window that something was stored.
#pragma once

#include <time_rules.h>

#include <dlg_dialog.h>
#include <vtperiod.h>

#include <memory>
#include <vector>

class CTimeManagerDlg : public CDialog {
public:
    explicit CTimeManagerDlg(CDialog* parent = nullptr);
    ~CTimeManagerDlg() override;

    int Changed() const { return m_changed; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnEnable();
    void OnWarningChosen();
    void OnInsert();
    void OnPeriodDoubleClick();
    void OnRestore();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void LoadSchedule();
    void Reload();
    void ShowSchedule();
    void EnableSchedule(BOOL enable);
    void Store();

    // Null when the store could be neither read nor restored: nothing is shown or stored then.
    std::unique_ptr<AccessTimeTable> m_schedule;
    // The listed periods: line i of the period list is m_periods[i].
    std::vector<AccessPeriod> m_periods;
    int m_changed = 0;
};
