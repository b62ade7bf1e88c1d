// CListUpdateDlg: the Update or edit dialog of the word and site lists (template 148), opened for
// the entry double-clicked (the old text), told which list it serves and the heading and label to
// show. After OK, m_outcome says what happened (UpdateOutcome) and, when updated, m_newText holds
// the new entry as typed.
#pragma once

#include <dlg_dialog.h>

#include <string>

class CListUpdateDlg : public CDialog {
public:
    CListUpdateDlg(int kind, const char* oldText, const char* heading, const char* label, CDialog* parent = nullptr);

    std::string m_newText;
    int m_outcome = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnDelete();
    DECLARE_MESSAGE_MAP()

private:
    int m_kind;
    std::string m_oldText;
    std::string m_heading;
    std::string m_label;
};
