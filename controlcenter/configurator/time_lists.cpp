#include "time_lists.h"

#include <time_rules.h>

#include <dlg_dialog.h>

void FillDayList(CDialog& dialog, int id) {
    dialog.ComboResetContent(id);
    for (int day = 0; day < ACCESS_DAYS; ++day) dialog.ComboAddString(id, DayName(day));
}

void FillBeginList(CDialog& dialog, int id) {
    dialog.ComboResetContent(id);
    for (int boundary = 0; boundary < ACCESS_SLOTS_PER_DAY; ++boundary)
        dialog.ComboAddString(id, BoundaryText(boundary).c_str());
}

void FillEndList(CDialog& dialog, int id) {
    dialog.ComboResetContent(id);
    for (int boundary = 0; boundary <= ACCESS_SLOTS_PER_DAY; ++boundary)
        dialog.ComboAddString(id, BoundaryText(boundary).c_str());
}

void EndAfterBegin(CDialog& dialog, int beginId, int endId) {
    const int begin = dialog.ComboGetCurSel(beginId);
    if (begin >= 0 && begin < ACCESS_SLOTS_PER_DAY) dialog.ComboSetCurSel(endId, begin + 1);
}
