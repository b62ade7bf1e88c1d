// The templates of the rating and time manager dialogs. Positions are in dialog units.
#include "configurator_resources.h"

#include "resource.h"

#include <iterator>

namespace {

using K = DlgControlKind;

const DlgControlTemplate kRsaciControls[] = {
    {IDC_STATIC, K::Static,
     "The Recreational Software Advisory Council (RSACi) rating service for the Internet is a voluntary rating system "
     "used by some sites on the Internet.  Set the desired maximum RSACi theme levels allowable for these sites.",
     7, 7, 266, 24, 0, 0, 0},
    {IDC_RSACI_ENABLE, K::CheckBox, "Enable filtering on RSACi ratings", 7, 36, 180, 10, 0, 0, 0},
    {IDC_RSACI_LANGUAGE_LABEL, K::Static, "Language", 7, 56, 50, 8, 0, 0, 0},
    {IDC_RSACI_LANGUAGE, K::Slider, "", 60, 52, 80, 16, 0, 0, 0},
    {IDC_RSACI_LANGUAGE_LEVEL, K::Static, "", 145, 56, 128, 8, 0, 0, 0},
    {IDC_RSACI_VIOLENCE_LABEL, K::Static, "Violence", 7, 76, 50, 8, 0, 0, 0},
    {IDC_RSACI_VIOLENCE, K::Slider, "", 60, 72, 80, 16, 0, 0, 0},
    {IDC_RSACI_VIOLENCE_LEVEL, K::Static, "", 145, 76, 128, 8, 0, 0, 0},
    {IDC_RSACI_SEX_LABEL, K::Static, "Sex", 7, 96, 50, 8, 0, 0, 0},
    {IDC_RSACI_SEX, K::Slider, "", 60, 92, 80, 16, 0, 0, 0},
    {IDC_RSACI_SEX_LEVEL, K::Static, "", 145, 96, 128, 8, 0, 0, 0},
    {IDC_RSACI_NUDITY_LABEL, K::Static, "Nudity", 7, 116, 50, 8, 0, 0, 0},
    {IDC_RSACI_NUDITY, K::Slider, "", 60, 112, 80, 16, 0, 0, 0},
    {IDC_RSACI_NUDITY_LEVEL, K::Static, "", 145, 116, 128, 8, 0, 0, 0},
    {IDC_RSACI_RESTORE, K::CheckBox, " Restore original factory settings", 7, 136, 180, 10, 0, 0, 0},
    {IDOK, K::Button, "Done", 80, 154, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 150, 154, 50, 14, 0, 0, 0},
};

// The rows top to bottom: Age Range, Violence, then the others in record order.
#define SAFESURF_ROW(y, label, labelText, slider, level)                     \
    {label, K::Static, labelText, 7, (y) + 4, 100, 8, 0, 0, 0},              \
    {slider, K::Slider, "", 110, (y), 90, 16, 0, 0, 0},                      \
    {level, K::Static, "", 205, (y) + 4, 260, 8, 0, 0, 0}
const DlgControlTemplate kSafeSurfControls[] = {
    {IDC_STATIC, K::Static,
     "The SafeSurf Rating service, developed with input from thousands of parents and Net citizens worldwide, is a "
     "voluntary rating system used by some sites on the Internet designed to protect children and the first amendment",
     7, 7, 458, 16, 0, 0, 0},
    {IDC_STATIC, K::Static,
     "rights of their parents. Set the desired maximum SafeSurf theme levels allowable for these sites.", 7, 24, 458,
     8, 0, 0, 0},
    {IDC_SAFESURF_ENABLE, K::CheckBox, "Enable filtering on SafeSurf ratings", 7, 38, 180, 10, 0, 0, 0},
    SAFESURF_ROW(54, IDC_SS_AGE_RANGE_LABEL, "Age Range", IDC_SS_AGE_RANGE, IDC_SS_AGE_RANGE_LEVEL),
    SAFESURF_ROW(72, IDC_SS_VIOLENCE_LABEL, "Violence", IDC_SS_VIOLENCE, IDC_SS_VIOLENCE_LEVEL),
    SAFESURF_ROW(90, IDC_SS_PROFANITY_LABEL, "Profanity", IDC_SS_PROFANITY, IDC_SS_PROFANITY_LEVEL),
    SAFESURF_ROW(108, IDC_SS_HETEROSEXUAL_LABEL, "Heterosexual Themes", IDC_SS_HETEROSEXUAL, IDC_SS_HETEROSEXUAL_LEVEL),
    SAFESURF_ROW(126, IDC_SS_HOMOSEXUAL_LABEL, "Homosexual Themes", IDC_SS_HOMOSEXUAL, IDC_SS_HOMOSEXUAL_LEVEL),
    SAFESURF_ROW(144, IDC_SS_NUDITY_LABEL, "Nudity", IDC_SS_NUDITY, IDC_SS_NUDITY_LEVEL),
    SAFESURF_ROW(162, IDC_SS_SEX_VIOLENCE_PROFANITY_LABEL, "Sex, Violence and Profanity", IDC_SS_SEX_VIOLENCE_PROFANITY,
                 IDC_SS_SEX_VIOLENCE_PROFANITY_LEVEL),
    SAFESURF_ROW(180, IDC_SS_INTOLERANCE_LABEL, "Intolerance", IDC_SS_INTOLERANCE, IDC_SS_INTOLERANCE_LEVEL),
    SAFESURF_ROW(198, IDC_SS_DRUG_USE_LABEL, "Glorifying Drug Use", IDC_SS_DRUG_USE, IDC_SS_DRUG_USE_LEVEL),
    SAFESURF_ROW(216, IDC_SS_OTHER_ADULT_LABEL, "Other Adult Themes", IDC_SS_OTHER_ADULT, IDC_SS_OTHER_ADULT_LEVEL),
    SAFESURF_ROW(234, IDC_SS_GAMBLING_LABEL, "Gambling", IDC_SS_GAMBLING, IDC_SS_GAMBLING_LEVEL),
    {IDC_SAFESURF_RESTORE, K::CheckBox, " Restore original factory settings", 7, 256, 180, 10, 0, 0, 0},
    {IDOK, K::Button, "Done", 170, 272, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 240, 272, 50, 14, 0, 0, 0},
};
#undef SAFESURF_ROW

const DlgControlTemplate kTimeManagerControls[] = {
    {IDC_STATIC, K::Static, "Specify the time period(s) during which Internet access will be allowed.", 7, 7, 250, 8,
     0, 0, 0},
    {IDC_TIME_ENABLE, K::CheckBox, "  Enable time management", 7, 22, 120, 10, 0, 0, 0},
    {IDC_TIME_INSERT, K::Button, "Insert", 200, 20, 50, 14, 0, 0, 0},
    {IDC_TIME_PERIODS, K::ListBox, "", 7, 40, 243, 100, DLGS_TABSTOPS, 0, 0},
    {IDC_STATIC, K::Static, "Double click on time to modify or delete", 7, 143, 200, 8, 0, 0, 0},
    {IDC_TIME_MORE_PERIODS, K::Static, "", 7, 153, 243, 8, DLGS_HIDDEN, 0, 0},
    {IDC_TIME_WARNING_LABEL, K::Static, "Remaining time warning", 7, 168, 90, 8, 0, 0, 0},
    {IDC_TIME_WARNING, K::ComboBox, "", 100, 166, 70, 60, 0, 0, 0},
    {IDC_TIME_RESTORE, K::CheckBox, " Restore original factory settings", 7, 186, 180, 10, 0, 0, 0},
    {IDOK, K::Button, "Done", 100, 204, 50, 14, DLGS_DEFAULT, 0, 0},
};

const DlgControlTemplate kInsertAccessTimeControls[] = {
    {IDC_INSERT_WHOLE_WEEK, K::CheckBox, "Set time for entire week", 7, 9, 100, 10, 0, 0, 0},
    {IDC_INSERT_WEEK_BEGIN, K::ComboBox, "", 110, 7, 45, 100, DLGS_DISABLED, 0, 0},
    {IDC_STATIC, K::Static, "to", 160, 9, 10, 8, 0, 0, 0},
    {IDC_INSERT_WEEK_END, K::ComboBox, "", 175, 7, 45, 100, DLGS_DISABLED, 0, 0},
    {IDC_INSERT_DAY, K::ComboBox, "", 7, 30, 90, 100, 0, 0, 0},
    {IDC_INSERT_BEGIN, K::ComboBox, "", 110, 30, 45, 100, 0, 0, 0},
    {IDC_STATIC, K::Static, "to", 160, 32, 10, 8, 0, 0, 0},
    {IDC_INSERT_END, K::ComboBox, "", 175, 30, 45, 100, 0, 0, 0},
    {IDOK, K::Button, "Insert", 50, 54, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 120, 54, 50, 14, 0, 0, 0},
};

const DlgControlTemplate kUpdateAccessTimeControls[] = {
    {IDC_UPDATE_DAY, K::ComboBox, "", 7, 7, 90, 100, 0, 0, 0},
    {IDC_UPDATE_BEGIN, K::ComboBox, "", 110, 7, 45, 100, 0, 0, 0},
    {IDC_STATIC, K::Static, "to", 160, 9, 10, 8, 0, 0, 0},
    {IDC_UPDATE_END, K::ComboBox, "", 175, 7, 45, 100, 0, 0, 0},
    {IDC_UPDATE_DELETE, K::Button, "Delete", 20, 30, 50, 14, 0, 0, 0},
    {IDOK, K::Button, "Update", 85, 30, 50, 14, DLGS_DEFAULT, 0, 0},
    {IDCANCEL, K::Button, "Cancel", 150, 30, 50, 14, 0, 0, 0},
};

const DlgTemplate kTemplates[] = {
    {IDD_RSACI, "Quillfence - RSACi theme levels", 0, 0, 280, 175, DLGW_SYSMENU, kRsaciControls,
     std::size(kRsaciControls)},
    {IDD_INSERT_ACCESS_TIME, "Quillfence - Insert access time", 0, 0, 227, 75, DLGW_SYSMENU,
     kInsertAccessTimeControls, std::size(kInsertAccessTimeControls)},
    {IDD_TIME_MANAGER, "Quillfence - Time manager", 0, 0, 257, 225, DLGW_SYSMENU, kTimeManagerControls,
     std::size(kTimeManagerControls)},
    {IDD_UPDATE_ACCESS_TIME, "Quillfence - Update or delete access time", 0, 0, 227, 51, DLGW_SYSMENU,
     kUpdateAccessTimeControls, std::size(kUpdateAccessTimeControls)},
    {IDD_SAFESURF, "Quillfence - SafeSurf", 0, 0, 472, 293, DLGW_SYSMENU, kSafeSurfControls,
     std::size(kSafeSurfControls)},
};

}  // namespace

const DlgTemplateSet kRatingTimeTemplates = {kTemplates, std::size(kTemplates)};
