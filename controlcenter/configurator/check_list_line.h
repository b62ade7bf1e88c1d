// A line of the topics and protocols check lists: two blanks before the entry's name (at most
// nameSize - 1 characters of it), ticked when the entry's flag is exactly 1.
#pragma once

#include <dlg_dialog.h>

#include <string.h>

#include <string>

inline void AddCheckListLine(CDialog& dialog, int listId, const char* name, size_t nameSize, INT flag) {
    const std::string line = "  " + std::string(name, strnlen(name, nameSize - 1));
    const int index = dialog.ListAddString(listId, line.c_str());
    if (flag == 1) dialog.ListSetCheck(listId, index, 1);
}
