#include "list_insert_dlg.h"

#include "list_message.h"
#include "list_rules.h"
#include "resource.h"

CListInsertDlg::CListInsertDlg(int kind, const char* heading, const char* label, CDialog* parent)
    : CDialog(IDD_LIST_INSERT, parent), m_kind(kind), m_heading(heading), m_label(label) {}

BOOL CListInsertDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_ENTRY_HEADING, m_heading.c_str());
    SetDlgItemText(IDC_ENTRY_LABEL, m_label.c_str());
    LimitText(IDC_ENTRY_TEXT, kListEntryMaxLength);
    return TRUE;
}

// A text that is refused leaves the dialog open with what was typed, after its messages.
void CListInsertDlg::OnOK() {
    const std::string input = GetDlgItemText(IDC_ENTRY_TEXT);
    std::vector<ListMessage> messages;
    if (InsertListEntry(m_kind, input.c_str(), &messages)) {
        m_result = input;
        CDialog::OnOK();
        return;
    }
    m_result.clear();
    ShowListMessages(*this, messages);
}
