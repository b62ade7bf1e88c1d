#include "list_update_dlg.h"

#include "list_message.h"
#include "list_rules.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CListUpdateDlg, CDialog)
    ON_BN_CLICKED(IDC_ENTRY_DELETE, OnDelete)
END_MESSAGE_MAP()

CListUpdateDlg::CListUpdateDlg(int kind, const char* oldText, const char* heading, const char* label, CDialog* parent)
    : CDialog(IDD_LIST_UPDATE, parent), m_kind(kind), m_oldText(oldText), m_heading(heading), m_label(label) {}

// An entry the dictionary does not know is reported; the dialog stays usable.
BOOL CListUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_ENTRY_HEADING, m_heading.c_str());
    SetDlgItemText(IDC_ENTRY_LABEL, m_label.c_str());
    LimitText(IDC_ENTRY_TEXT, kListEntryMaxLength);
    SetDlgItemText(IDC_ENTRY_TEXT, m_oldText.c_str());
    ShowListMessages(*this, UpdateDialogShown(m_oldText.c_str()));
    return TRUE;
}

void CListUpdateDlg::OnOK() {
    const std::string input = GetDlgItemText(IDC_ENTRY_TEXT);
    std::vector<ListMessage> messages;
    int outcome = UpdateNothingChanged;
    if (!UpdateListEntry(m_kind, m_oldText.c_str(), input.c_str(), &outcome, &messages)) {
        ShowListMessages(*this, messages);
        return;
    }
    m_outcome = outcome;
    if (outcome == UpdateUpdated) m_newText = input;
    CDialog::OnOK();
}

// Asked twice, No the default each time; an entry the dictionary cannot delete keeps the dialog open.
void CListUpdateDlg::OnDelete() {
    if (MessageBox(DeleteFirstQuestion(m_oldText.c_str()).c_str(), kDeleteCaption, MB_YESNO | MB_DEFBUTTON2) != IDYES)
        return;
    if (MessageBox(DeleteSecondQuestion(m_oldText.c_str()).c_str(), kDeleteCaption, MB_YESNO | MB_DEFBUTTON2) != IDYES)
        return;
    if (!DeleteListEntry(m_oldText.c_str())) return;
    m_outcome = UpdateDeleted;
    CDialog::OnOK();
}
