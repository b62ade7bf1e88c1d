#include "about_dlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(CDialog* parent) : CDialog(IDD_ABOUTBOX, parent) {}
