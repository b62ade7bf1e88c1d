// The list commands: the three user lists of the dictionary, shown and changed with the list
// dialogs' own rules.
#pragma once

#include <string>

// The list named disallow, allow or search, as its ListKind; 0 for any other name.
int ListKindNamed(const std::string& name);

// quillfence list LIST: the list's entries, one per line, sorted as the list window sorts them.
int ListCommand(int kind);
// quillfence add LIST TEXT: as the Insert dialog.
int AddCommand(int kind, const std::string& text);
// quillfence remove LIST TEXT: as the Update dialog's Delete, answered Yes twice.
int RemoveCommand(int kind, const std::string& text);
