// How the list dialogs show what the list rules answer: each message in turn, in a box with the
// rule's caption and an OK button, with the information icon where the rule asks for it.
#pragma once

#include "list_rules.h"

#include <vector>

class CDialog;

void ShowListMessages(CDialog& dialog, const std::vector<ListMessage>& messages);
