#include "list_window_dlg.h"

#include "list_insert_dlg.h"
#include "list_rules.h"
#include "list_update_dlg.h"
#include "resource.h"

#include <lexstore.h>

namespace {

// What each list's windows say.
struct ListTexts {
    const char* caption;
    const char* guidance;
    const char* guidanceSites;
    const char* hint;
    const char* insertHeading;
    const char* insertLabel;
    const char* updateHeading;
    const char* updateLabel;
};

const ListTexts kDisallowTexts = {
    "Disallow words, phrases and sites (blocking)",
    "Words, phrases and sites in this list are blocked when they are sent, received or visited.",
    "Enter a site by its domain name without the leading host label: badsite.com, not www.badsite.com.",
    "Double click on word to edit, modify or delete",
    "Insert a word, phrase or site to be disallowed",
    "Word, phrase or site",
    "Update or edit a word, phrase or site that is disallowed",
    "Word, phrase or site",
};

const ListTexts kAllowUnchangedTexts = {
    "Allow sites (leave unchanged)",
    "Sites in this list are let through unchanged, without any filtering or blocking.",
    "Enter a site by its domain name without the leading host label: example.com, not www.example.com.",
    "Double click on site to edit, modify or delete",
    "Insert a site to allow through unchanged",
    "Site",
    "Update or edit site that is allowed unchanged",
    "Site",
};

const ListTexts kSearchEngineTexts = {
    "Allow search engines  (always apply cleaning)",
    "Search engine sites in this list are allowed with cleaning: banners, disallowed words, images and undesirable "
    "links are removed.",
    "Enter a site by its domain name without the leading host label: search.com, not www.search.com.",
    "Double click on site to edit, modify or delete",
    "Allow this search engine site with cleaning applied",
    "Search engine",
    "Update or edit a search engine site that is allowed",
    "Search Engine",
};

const ListTexts& texts_of(int kind) {
    if (kind == AllowUnchangedList) return kAllowUnchangedTexts;
    if (kind == SearchEngineList) return kSearchEngineTexts;
    return kDisallowTexts;
}

}  // namespace

BEGIN_MESSAGE_MAP(CListWindowDlg, CDialog)
    ON_BN_CLICKED(IDC_LIST_INSERT, OnInsert)
    ON_LBN_DBLCLK(IDC_LIST_ENTRIES, OnDblclkEntries)
END_MESSAGE_MAP()

CListWindowDlg::CListWindowDlg(int kind, CDialog* parent) : CDialog(IDD_LIST_WINDOW, parent), m_kind(kind) {}

// A dictionary that does not open leaves the list empty, without a message.
BOOL CListWindowDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const ListTexts& texts = texts_of(m_kind);
    SetWindowText(texts.caption);
    SetDlgItemText(IDC_LIST_GUIDANCE, texts.guidance);
    SetDlgItemText(IDC_LIST_GUIDANCE_SITES, texts.guidanceSites);
    SetDlgItemText(IDC_LIST_HINT, texts.hint);
    if (lexs_openit() == 1)
        for (const std::string& text : ReadListEntries(m_kind)) ListAddString(IDC_LIST_ENTRIES, text.c_str());
    return TRUE;
}

void CListWindowDlg::OnInsert() {
    const ListTexts& texts = texts_of(m_kind);
    CListInsertDlg insert(m_kind, texts.insertHeading, texts.insertLabel, this);
    if (insert.DoModal() != IDOK) return;
    ListAddString(IDC_LIST_ENTRIES, insert.m_result.c_str());
    m_changed = 1;
}

void CListWindowDlg::OnDblclkEntries() {
    const int selected = ListGetCurSel(IDC_LIST_ENTRIES);
    if (selected < 0) return;
    const std::string oldText = ListGetText(IDC_LIST_ENTRIES, selected);
    const ListTexts& texts = texts_of(m_kind);
    CListUpdateDlg update(m_kind, oldText.c_str(), texts.updateHeading, texts.updateLabel, this);
    if (update.DoModal() != IDOK) return;
    if (update.m_outcome == UpdateUpdated) {
        RemoveListed(oldText.c_str());
        ListAddString(IDC_LIST_ENTRIES, update.m_newText.c_str());
    } else if (update.m_outcome == UpdateDeleted) {
        RemoveListed(oldText.c_str());
    }
    m_changed = 1;
}

// The first line from the top that begins with text, without regard to case.
void CListWindowDlg::RemoveListed(const char* text) {
    const int line = ListFindString(IDC_LIST_ENTRIES, text);
    if (line >= 0) ListDeleteString(IDC_LIST_ENTRIES, line);
}

void CListWindowDlg::OnOK() {
    lexs_closedbase();
    CDialog::OnOK();
}

// Escape and the close box also let the dictionary go; what was changed stays reported.
void CListWindowDlg::OnCancel() {
    lexs_closedbase();
    CDialog::OnCancel();
}
