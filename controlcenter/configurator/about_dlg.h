// CAboutDlg: the About box (template 100), opened from the main window's system menu.
#pragma once

#include <dlg_dialog.h>

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CDialog* parent = nullptr);
};
