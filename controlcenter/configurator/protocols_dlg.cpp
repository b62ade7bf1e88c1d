#include "protocols_dlg.h"

#include "check_list_line.h"
#include "context_help.h"
#include "store_read_box.h"
#include "resource.h"
#include "settings_texts.h"

#include <vtlogger.h>

#include <string.h>

#include <string>

namespace {

const DWORD kHelpIds[] = {
    IDC_PROTOCOL_LIST, DlgHelpContext(IDD_PROTOCOLS, IDC_PROTOCOL_LIST),
    IDC_PROTOCOLS_FACTORY, DlgHelpContext(IDD_PROTOCOLS, IDC_PROTOCOLS_FACTORY),
    0, 0,
};

// An empty table: no rule in use, every port -1, every name empty, nothing blocked.
int preset_rules(ProtocolRuleTable* table) {
    memset(table, 0, sizeof(*table));
    table->count = -1;
    for (ProtocolRule& rule : table->rules) rule.port = -1;
    return 1;
}

}  // namespace

BEGIN_MESSAGE_MAP(CProtocolsDlg, CDialog)
    ON_BN_CLICKED(IDC_PROTOCOLS_FACTORY, OnFactorySettings)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CProtocolsDlg::CProtocolsDlg(CDialog* parent) : CDialog(IDD_PROTOCOLS, parent) { preset_rules(&m_table); }

BOOL CProtocolsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowRules();
    return TRUE;
}

// Reads the rules (restoring the factory rules when they cannot be read) and lists them; when
// even the factory rules cannot be stored, the list stays empty.
void CProtocolsDlg::ShowRules() {
    VTLogger_Init();
    const StoreRead outcome = ReadStoreShowingError(*this, &m_table, preset_rules, vtfw_read, vtfw_regen,
                                                    kProtocolStoreTexts, TamperLog::Submit);
    m_loaded = outcome != StoreRead::RestoreFailed;
    if (!m_loaded) {
        preset_rules(&m_table);
        return;
    }
    const int inUse = EntriesInUse(m_table.count);
    for (int i = 0; i < inUse; ++i) {
        const ProtocolRule& rule = m_table.rules[i];
        AddCheckListLine(*this, IDC_PROTOCOL_LIST, rule.name, PROTOCOL_NAME_SIZE, rule.blocked);
    }
}

// Only the blocked flags change; ports and names stay as read. A failed write keeps the dialog
// open with the ticks as they are. With no rules to show, there is nothing to store.
void CProtocolsDlg::OnOK() {
    if (m_loaded) {
        const int inUse = EntriesInUse(m_table.count);
        for (int i = 0; i < inUse; ++i) m_table.rules[i].blocked = ListGetCheck(IDC_PROTOCOL_LIST, i) == 1 ? 1 : 0;
        if (vtfw_write(&m_table) != 1) return;
        m_changed = 1;
    }
    CDialog::OnOK();
}

// The factory rules are stored from a table of their own, so that a reset that fails leaves the
// rules shown and the table behind them as they were.
void CProtocolsDlg::OnFactorySettings() {
    ProtocolRuleTable factory{};
    if (MessageBox(kProtocolStoreTexts.resetQuestion, kResetCaption, MB_YESNO | MB_DEFBUTTON2) == IDYES &&
        vtfw_regen(&factory) == 1) {
        ListResetContent(IDC_PROTOCOL_LIST);
        m_changed = 1;
        ShowRules();
    }
    CheckDlgButton(IDC_PROTOCOLS_FACTORY, BST_UNCHECKED);
    UpdateWindow();
}

BOOL CProtocolsDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CProtocolsDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
