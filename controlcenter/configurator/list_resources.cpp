// The templates of the word and site list dialogs, the Filter topics dialog and the Protocol
// blocking dialog. Positions are in dialog units. The list window serves three lists: its caption
// and its guidance and hint lines are set when it opens.
#include "list_resources.h"

#include "list_rules.h"
#include "resource.h"

#include <iterator>

namespace {

using K = DlgControlKind;

const DlgControlTemplate kListWindowControls[] = {
    {IDC_LIST_GUIDANCE, K::Static, "", 7, 7, 266, 16, 0, 0, 0},
    {IDC_LIST_GUIDANCE_SITES, K::Static, "", 7, 25, 266, 16, 0, 0, 0},
    {IDC_LIST_ENTRIES, K::ListBox, "", 7, 45, 200, 120, DLGS_SORTED, 0, 0},
    {IDC_LIST_INSERT, K::Button, "Insert", 215, 45, 58, 14, 0, 0, 0},
    {IDC_LIST_HINT, K::Static, "", 7, 168, 200, 8, 0, 0, 0},
    {IDOK, K::Button, "Done", 215, 162, 58, 14, DLGS_DEFAULT, 0, 0},
};

const DlgControlTemplate kInsertControls[] = {
    {IDC_ENTRY_HEADING, K::Static, "", 7, 7, 240, 8, 0, 0, 0},
    {IDC_ENTRY_LABEL, K::Static, "", 7, 24, 70, 8, 0, 0, 0},
    {IDC_ENTRY_TEXT, K::Edit, "", 80, 22, 167, 12, 0, kListEntryMaxLength, 0},
    {IDOK, K::Button, "Insert", 60, 44, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 140, 44, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kUpdateControls[] = {
    {IDC_ENTRY_HEADING, K::Static, "", 7, 7, 240, 8, 0, 0, 0},
    {IDC_ENTRY_LABEL, K::Static, "", 7, 24, 70, 8, 0, 0, 0},
    {IDC_ENTRY_TEXT, K::Edit, "", 80, 22, 167, 12, 0, kListEntryMaxLength, 0},
    {IDOK, K::Button, "Update", 30, 44, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 100, 44, 50, 14, 0, 0, 0},
    {IDC_ENTRY_DELETE, K::Button, "Delete", 170, 44, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kTopicsControls[] = {
    {IDC_STATIC, K::Static, "Select the topics which you would like to filter and block.", 7, 7, 200, 8, 0, 0, 0},
    {IDC_TOPIC_LIST, K::ListBox, "", 7, 20, 200, 110, DLGS_CHECKLIST, 0, 0},
    {IDC_TOPICS_FACTORY, K::CheckBox, " Restore original factory settings", 7, 135, 200, 10, 0, 0, 0},
    {IDOK, K::Button, "Done", 40, 152, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 120, 152, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kProtocolsControls[] = {
    {IDC_STATIC, K::Static,
     "Select the Internet applications (web, e-mail, chat etc.) you wish to block when accessing the Internet.", 7,
     7, 200, 16, 0, 0, 0},
    {IDC_PROTOCOL_LIST, K::ListBox, "", 7, 28, 200, 100, DLGS_CHECKLIST, 0, 0},
    {IDC_PROTOCOLS_FACTORY, K::CheckBox, " Restore original factory settings", 7, 133, 200, 10, 0, 0, 0},
    {IDOK, K::Button, "Done", 40, 150, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 120, 150, 50, 14, 0, 0, 0},
};

}  // namespace

const DlgTemplate kListTemplates[] = {
    {IDD_FILTER_TOPICS, "Quillfence - Filter topics", 0, 0, 214, 173, DLGW_SYSMENU | DLGW_CONTEXTHELP,
     kTopicsControls, std::size(kTopicsControls)},
    {IDD_LIST_WINDOW, "", 0, 0, 280, 183, DLGW_SYSMENU, kListWindowControls, std::size(kListWindowControls)},
    {IDD_LIST_INSERT, "Quillfence - Insert", 0, 0, 254, 65, DLGW_SYSMENU, kInsertControls, std::size(kInsertControls)},
    {IDD_LIST_UPDATE, "Quillfence - Update or edit", 0, 0, 254, 65, DLGW_SYSMENU, kUpdateControls,
     std::size(kUpdateControls)},
    {IDD_PROTOCOLS, "Quillfence - Block web, e-mail, chat, etc.", 0, 0, 214, 171, DLGW_SYSMENU | DLGW_CONTEXTHELP,
     kProtocolsControls, std::size(kProtocolsControls)},
};

const size_t kListTemplateCount = std::size(kListTemplates);
