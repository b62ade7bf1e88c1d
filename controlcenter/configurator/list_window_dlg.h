// CListWindowDlg: the list window of one of the three user lists (template 146): the entries of
// its own list in a sorted list box, Insert, a double click to update or delete an entry, and
// Done. m_changed is 1 once an Insert or an Update or edit dialog ended with OK.
#pragma once

#include <dlg_dialog.h>

class CListWindowDlg : public CDialog {
public:
    // kind: a ListKind.
    explicit CListWindowDlg(int kind, CDialog* parent = nullptr);

    int m_changed = 0;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnInsert();
    void OnDblclkEntries();
    DECLARE_MESSAGE_MAP()

private:
    void RemoveListed(const char* text);

    int m_kind;
};
