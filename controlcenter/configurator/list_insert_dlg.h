// CListInsertDlg: the Insert dialog of the word and site lists (template 147), told which list it
// serves and the heading and label to show. After OK, m_result holds the entry as typed.
#pragma once

#include <dlg_dialog.h>

#include <string>

class CListInsertDlg : public CDialog {
public:
    CListInsertDlg(int kind, const char* heading, const char* label, CDialog* parent = nullptr);

    std::string m_result;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    int m_kind;
    std::string m_heading;
    std::string m_label;
};
