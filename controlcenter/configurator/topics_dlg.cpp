#include "topics_dlg.h"

#include "check_list_line.h"
#include "context_help.h"
#include "store_read_box.h"
#include "resource.h"
#include "settings_texts.h"

#include <vtlogger.h>


namespace {

const DWORD kHelpIds[] = {
    IDC_TOPIC_LIST, DlgHelpContext(IDD_FILTER_TOPICS, IDC_TOPIC_LIST),
    IDC_TOPICS_FACTORY, DlgHelpContext(IDD_FILTER_TOPICS, IDC_TOPICS_FACTORY),
    0, 0,
};

}  // namespace

BEGIN_MESSAGE_MAP(CTopicsDlg, CDialog)
    ON_BN_CLICKED(IDC_TOPICS_FACTORY, OnFactorySettings)
    ON_WM_HELPINFO()
    ON_WM_CONTEXTMENU()
END_MESSAGE_MAP()

CTopicsDlg::CTopicsDlg(CDialog* parent) : CDialog(IDD_FILTER_TOPICS, parent) { vtlist_init(&m_record); }

BOOL CTopicsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowTopics();
    return TRUE;
}

// Reads the topic list (restoring the factory topics when it cannot be read) and lists it; when
// even the factory topics cannot be stored, the list stays empty.
void CTopicsDlg::ShowTopics() {
    VTLogger_Init();
    const StoreRead outcome = ReadStoreShowingError(*this, &m_record, vtlist_init, vtlist_read, vtlist_regen,
                                                    kTopicStoreTexts, TamperLog::Submit);
    m_loaded = outcome != StoreRead::RestoreFailed;
    if (!m_loaded) {
        vtlist_init(&m_record);
        return;
    }
    const int inUse = EntriesInUse(m_record.count);
    for (int i = 0; i < inUse; ++i) {
        const TopicEntry& entry = m_record.entries[i];
        AddCheckListLine(*this, IDC_TOPIC_LIST, entry.name, VTLIST_NAME_SIZE, entry.enabled);
    }
}

// The ticks go into the record, which is written from a copy: the store leaves what it writes in
// stored form, and a failed write keeps the dialog open on the record as shown. With no topic
// list to show, there is nothing to store.
void CTopicsDlg::OnOK() {
    if (m_loaded) {
        const int inUse = EntriesInUse(m_record.count);
        for (int i = 0; i < inUse; ++i) m_record.entries[i].enabled = ListGetCheck(IDC_TOPIC_LIST, i) == 1 ? 1 : 0;
        TopicRecord written = m_record;
        if (vtlist_write(&written) != 1) return;
        m_changed = 1;
    }
    CDialog::OnOK();
}

// The factory topics are stored from a record of their own, so that a reset that fails leaves
// the topics shown and the record behind them as they were.
void CTopicsDlg::OnFactorySettings() {
    TopicRecord factory{};
    if (MessageBox(kTopicStoreTexts.resetQuestion, kResetCaption, MB_YESNO | MB_DEFBUTTON2) == IDYES &&
        vtlist_regen(&factory) == 1) {
        ListResetContent(IDC_TOPIC_LIST);
        m_changed = 1;
        ShowTopics();
    }
    CheckDlgButton(IDC_TOPICS_FACTORY, BST_UNCHECKED);
    UpdateWindow();
}

BOOL CTopicsDlg::OnHelpInfo(HELPINFO* info) { return ShowControlHelp(info, kHelpIds); }

void CTopicsDlg::OnContextMenu(HWND window, POINT) { ShowContextMenuHelp(*this, window, kHelpIds); }
