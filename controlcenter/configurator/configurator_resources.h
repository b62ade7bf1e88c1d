// The Control Center's dialog templates and string table.
#pragma once

#include <dlg_template.h>

extern const DlgResources kConfiguratorResources;
