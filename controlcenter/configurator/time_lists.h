// The time selection lists of the Insert and Update or delete access time dialogs: a day list
// (Sunday .. Saturday), a begin list of the boundaries 00:00 .. 23:30 and an end list of the same
// followed by 23:59; the selected index of each is the day or boundary.
#pragma once

class CDialog;

void FillDayList(CDialog& dialog, int id);
void FillBeginList(CDialog& dialog, int id);
void FillEndList(CDialog& dialog, int id);

// A begin list closed its drop-down: its end list moves to the boundary after the chosen begin.
void EndAfterBegin(CDialog& dialog, int beginId, int endId);
