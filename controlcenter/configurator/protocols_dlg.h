// CProtocolsDlg: the Protocol blocking dialog (template 161): every rule of the protocol blocking
// store as a line of a check list, ticked when its application is blocked; Done stores the ticks,
// the factory reset box restores the factory rules. m_changed is 1 once the rules were written or
// reset.
#pragma once

#include <dlg_dialog.h>

#include <vtfw.h>

class CProtocolsDlg : public CDialog {
public:
    explicit CProtocolsDlg(CDialog* parent = nullptr);

    int m_changed = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnFactorySettings();
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void ShowRules();

    ProtocolRuleTable m_table{};
    bool m_loaded = false;  // false when the rules could neither be read nor restored
};
