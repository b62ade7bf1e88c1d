// The Control Center's dialog templates and string table.
#pragma once

#include <dlg_template.h>

#include <stddef.h>

extern const DlgResources kConfiguratorResources;

// A group of templates kept in a resource source of its own; kConfiguratorResources holds them all.
struct DlgTemplateSet {
    const DlgTemplate* templates;
    size_t count;
};
extern const DlgTemplateSet kRatingTimeTemplates;  // rating and time manager dialogs
