#include "list_message.h"

#include <dlg_dialog.h>

void ShowListMessages(CDialog& dialog, const std::vector<ListMessage>& messages) {
    for (const ListMessage& message : messages)
        dialog.MessageBox(message.text.c_str(), message.caption, MB_OK | (message.information ? MB_ICONINFORMATION : 0));
}

