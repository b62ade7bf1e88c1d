// The Control Center's dialog templates and string table. Positions are in dialog units.
#include "configurator_resources.h"

#include "list_resources.h"
#include "password_rules.h"
#include "resource.h"

#include <iterator>
#include <vector>

namespace {

using K = DlgControlKind;

const DlgControlTemplate kAboutControls[] = {
    {IDC_STATIC, K::Icon, "", 11, 17, 20, 20, 0, 0, IDR_MAINFRAME},
    {IDC_STATIC, K::Static, "Quillfence Version 2.2", 40, 10, 150, 8, 0, 0, 0},
    {IDC_STATIC, K::Static, "Copyright (C) 2001 Marrowby", 40, 25, 150, 8, 0, 0, 0},
    {IDC_STATIC, K::Static, "www.marrowby.com", 40, 40, 150, 8, 0, 0, 0},
    {IDOK, K::Button, "OK", 198, 7, 50, 14, DLGS_DEFAULT, 0, 0},
};

const DlgControlTemplate kMainControls[] = {
    {IDC_STATIC, K::GroupBox, "            Control Center ", 7, 7, 186, 70, 0, 0, IDI_CONTROL_CENTER},
    {IDC_TOGGLE_FILTERING, K::Button, "Enable/Disable Quillfence", 30, 25, 140, 16, 0, 0, 0},
    {IDC_ADVANCED_SETTINGS, K::Button, "Advanced Settings", 30, 48, 140, 16, 0, 0, 0},
    {IDOK, K::Button, "Done", 30, 86, 60, 14, DLGS_DEFAULT, 0, 0},
    {ID_HELP, K::Button, "&Help", 110, 86, 60, 14, 0, 0, 0},
};

const DlgControlTemplate kNewPasswordControls[] = {
    {IDC_STATIC, K::Static, "New password", 7, 10, 80, 8, 0, 0, 0},
    {IDC_PASSWORD, K::Edit, "", 90, 8, 100, 12, DLGS_PASSWORD, kPasswordMaxLength, 0},
    {IDC_STATIC, K::Static, "New password again", 7, 28, 80, 8, 0, 0, 0},
    {IDC_PASSWORD_SECOND, K::Edit, "", 90, 26, 100, 12, DLGS_PASSWORD, kPasswordMaxLength, 0},
    {IDOK, K::Button, "Done", 40, 48, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 110, 48, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kLoginControls[] = {
    {IDC_STATIC, K::Static, "Please enter your Quillfence password", 7, 10, 180, 8, 0, 0, 0},
    {IDC_PASSWORD, K::Edit, "", 7, 24, 180, 12, DLGS_PASSWORD, kPasswordMaxLength, 0},
    {IDOK, K::Button, "OK", 40, 44, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 110, 44, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kChangePasswordControls[] = {
    {IDC_STATIC, K::Static, "Current password", 7, 10, 80, 8, 0, 0, 0},
    {IDC_PASSWORD, K::Edit, "", 90, 8, 100, 12, DLGS_PASSWORD, kPasswordMaxLength, 0},
    {IDC_STATIC, K::Static, "New password", 7, 28, 80, 8, 0, 0, 0},
    {IDC_PASSWORD_SECOND, K::Edit, "", 90, 26, 100, 12, DLGS_PASSWORD, kPasswordMaxLength, 0},
    {IDC_STATIC, K::Static, "New password again", 7, 46, 80, 8, 0, 0, 0},
    {IDC_PASSWORD_AGAIN, K::Edit, "", 90, 44, 100, 12, DLGS_PASSWORD, kPasswordMaxLength, 0},
    {IDOK, K::Button, "Done", 40, 66, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 110, 66, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kAdvancedControls[] = {
    {IDC_STATIC, K::GroupBox, "           Access Log", 7, 7, 150, 40, 0, 0, IDI_ACCESS_LOG},
    {IDC_VIEW_LOG, K::Button, "View Log", 15, 24, 60, 14, 0, 0, 0},
    {IDC_ERASE_LOG, K::Button, "Erase Log", 85, 24, 60, 14, 0, 0, 0},
    {IDC_STATIC, K::GroupBox, "            Allow", 7, 52, 150, 58, 0, 0, IDI_ALLOW},
    {IDC_ALLOW_SITES, K::Button, "Sites (leave unchanged)", 15, 68, 134, 14, 0, 0, 0},
    {IDC_SEARCH_ENGINES, K::Button, "Search Engines (apply cleaning)", 15, 88, 134, 14, 0, 0, 0},
    {IDC_STATIC, K::GroupBox, "            Disallow", 7, 115, 150, 58, 0, 0, IDI_DISALLOW},
    {IDC_DISALLOW_LIST, K::Button, "Words, Phrases and Sites", 15, 131, 134, 14, 0, 0, 0},
    {IDC_PROTOCOLS, K::Button, "Web, e-mail, chat etc. (protocols)", 15, 151, 134, 14, 0, 0, 0},
    {IDC_FILTER_TOPICS, K::Button, "Filter Topics", 165, 12, 120, 14, 0, 0, 0},
    {IDC_UPDATE_FILTER, K::Button, "Update Filter", 165, 32, 120, 14, 0, 0, 0},
    {IDC_UPDATE_PROGRESS, K::ProgressBar, "", 165, 50, 120, 8, 0, 0, 0},
    {IDC_CHANGE_PASSWORD, K::Button, "Change Password", 165, 64, 120, 14, 0, 0, 0},
    {IDC_STATIC, K::GroupBox, "            Internet Rating Standards", 160, 84, 130, 58, 0, 0, IDI_RATINGS},
    {IDC_RSACI_SETTINGS, K::Button, "RSACi Theme Settings", 168, 100, 114, 14, 0, 0, 0},
    {IDC_SAFESURF_SETTINGS, K::Button, "SafeSurf Theme Settings", 168, 120, 114, 14, 0, 0, 0},
    {IDC_STATIC, K::GroupBox, "            Time Manager", 160, 147, 130, 38, 0, 0, IDI_TIME_MANAGER},
    {IDC_ACCESS_TIMES, K::Button, "Access Times", 168, 163, 114, 14, 0, 0, 0},
    {IDC_ADVANCED_DONE, K::Button, "Done", 120, 192, 60, 14, DLGS_DEFAULT, 0, 0},
};

const DlgTemplate kMainTemplates[] = {
    {IDD_ABOUTBOX, "About Quillfence", 0, 0, 255, 60, DLGW_SYSMENU, kAboutControls, std::size(kAboutControls)},
    {IDD_CONFIGURATOR_DIALOG, "Quillfence", 0, 0, 200, 107, DLGW_SYSMENU | DLGW_CONTEXTHELP | DLGW_MINIMIZEBOX | DLGW_APPWINDOW,
     kMainControls, std::size(kMainControls)},
    {IDD_NEW_PASSWORD, "Quillfence - New password", 0, 0, 200, 69, DLGW_SYSMENU, kNewPasswordControls,
     std::size(kNewPasswordControls)},
    {IDD_LOGIN, "Quillfence - Login", 0, 0, 194, 65, DLGW_SYSMENU, kLoginControls, std::size(kLoginControls)},
    {IDD_CHANGE_PASSWORD, "Quillfence - Change login password", 0, 0, 200, 87, DLGW_SYSMENU, kChangePasswordControls,
     std::size(kChangePasswordControls)},
    {IDD_ADVANCED_SETTINGS, "Quillfence - Advanced settings", 0, 0, 297, 213, DLGW_SYSMENU | DLGW_CONTEXTHELP,
     kAdvancedControls, std::size(kAdvancedControls)},
};

const DlgString kStrings[] = {
    {IDP_OLE_INIT_FAILED, "OLE initialization failed.  Make sure that the OLE libraries are the correct version."},
    {IDS_ABOUTBOX, "&About Quillfence..."},
};

// Every template in one table. The template sets are constant data, set before any code runs.
const std::vector<DlgTemplate>& all_templates() {
    static const std::vector<DlgTemplate> all = [] {
        std::vector<DlgTemplate> templates(std::begin(kMainTemplates), std::end(kMainTemplates));
        templates.insert(templates.end(), kListTemplates, kListTemplates + kListTemplateCount);
        for (const DlgTemplateSet* set : {&kRatingTimeTemplates})
            templates.insert(templates.end(), set->templates, set->templates + set->count);
        return templates;
    }();
    return all;
}

}  // namespace

const DlgResources kConfiguratorResources = {all_templates().data(), all_templates().size(), kStrings,
                                             std::size(kStrings)};
