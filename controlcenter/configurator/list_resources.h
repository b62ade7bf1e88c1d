// The templates of the word and site list dialogs, the Filter topics dialog and the Protocol
// blocking dialog.
#pragma once

#include <dlg_template.h>

#include <stddef.h>

extern const DlgTemplate kListTemplates[];
extern const size_t kListTemplateCount;
