// CSafeSurfDlg: the SafeSurf dialog (template 167): the highest SafeSurf level allowed in each of
// the eleven categories, one slider each (position p is SafeSurf level p + 1) with the meaning of
// its level beside it, the switch for filtering on SafeSurf ratings and the factory reset. Done
// stores the record and ends the dialog with IDOK.
#pragma once

#include <dlg_dialog.h>
#include <vtssurf.h>

#include <memory>

class CSafeSurfDlg : public CDialog {
public:
    explicit CSafeSurfDlg(CDialog* parent = nullptr);
    ~CSafeSurfDlg() override;

    int Changed() const { return m_changed; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnEnable();
    void OnRestore();
    void OnHScroll(UINT code, UINT position, int controlId);
    void OnVScroll(UINT code, UINT position, int controlId);
    BOOL OnHelpInfo(HELPINFO* info);
    void OnContextMenu(HWND window, POINT point);
    DECLARE_MESSAGE_MAP()

private:
    void LoadSettings();
    void ApplyEnableBox();
    void EnableLevels(BOOL enable);

    // Null when the store could be neither read nor restored: nothing is shown or stored then.
    std::unique_ptr<SafeSurfSettings> m_settings;
    int m_changed = 0;
};
