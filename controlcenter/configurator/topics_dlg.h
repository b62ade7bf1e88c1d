// CTopicsDlg: the Filter topics dialog (template 145): every topic of the topic list as a line of
// a check list, ticked when it is filtered and blocked; Done stores the ticks, the factory reset
// box restores the factory topics. m_changed is 1 once the topic list was written or reset.
#pragma once

#include <dlg_dialog.h>

#include <VTList.h>

class CTopicsDlg : public CDialog {
public:
    explicit CTopicsDlg(CDialog* parent = nullptr);

    int m_changed = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnFactorySettings();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void ShowTopics();

    TopicRecord m_record{};
    bool m_loaded = false;  // false when the topic list could neither be read nor restored
};
