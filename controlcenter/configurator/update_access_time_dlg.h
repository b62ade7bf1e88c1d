// CUpdateAccessTimeDlg: the Update or delete access time dialog (template 165), opened from the
// Time manager window for one listed period: moves it (Update) or removes it (Delete) and stores
// the schedule at once. Ends with IDOK once stored.
#pragma once

#include <time_rules.h>

#include <dlg_dialog.h>
#include <vtperiod.h>

#include <memory>

class CUpdateAccessTimeDlg : public CDialog {
public:
    CUpdateAccessTimeDlg(const AccessPeriod& period, CDialog* parent = nullptr);
    ~CUpdateAccessTimeDlg() override;

    int Changed() const { return m_changed; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDelete();
    void OnBeginCloseUp();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void StoreOrShow(const AccessTimeTable& changed, const char* failure);

    AccessPeriod m_old;
    // Null when the store cannot be read: nothing is stored then.
    std::unique_ptr<AccessTimeTable> m_schedule;
    int m_changed = 0;
};
