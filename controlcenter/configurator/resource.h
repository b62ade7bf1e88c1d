// Resource identifiers of the Control Center: dialog templates, controls, icons, strings and
// commands. The settings dialogs of the Advanced settings window take their templates from 144
// upwards and their controls from 1100 upwards (1107 excepted, the Advanced settings Done).
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_CONFIGURATOR_DIALOG 102
#define IDD_NEW_PASSWORD 132
#define IDD_LOGIN 133
#define IDD_CHANGE_PASSWORD 134
#define IDD_ADVANCED_SETTINGS 143

// String resources.
#define IDP_OLE_INIT_FAILED 100
#define IDS_ABOUTBOX 101

// Icons.
#define IDR_MAINFRAME 128
#define IDI_ALLOW 157
#define IDI_DISALLOW 158
#define IDI_ACCESS_LOG 159
#define IDI_TIME_MANAGER 172
#define IDI_RATINGS 174
#define IDI_CONTROL_CENTER 175

// System menu.
#define IDM_ABOUTBOX 0x0010

// The framework's Help command.
#define ID_HELP 57670

// Main window.
#define IDC_TOGGLE_FILTERING 1005
#define IDC_ADVANCED_SETTINGS 1008

// Password dialogs: the first field of each, the second, and the change dialog's third.
#define IDC_PASSWORD 1006
#define IDC_PASSWORD_SECOND 1001
#define IDC_PASSWORD_AGAIN 1052

// Advanced settings window.
#define IDC_DISALLOW_LIST 1003
#define IDC_CHANGE_PASSWORD 1004
#define IDC_ALLOW_SITES 1008
#define IDC_SEARCH_ENGINES 1009
#define IDC_FILTER_TOPICS 1010
#define IDC_VIEW_LOG 1011
#define IDC_UPDATE_FILTER 1013
#define IDC_ERASE_LOG 1016
#define IDC_UPDATE_PROGRESS 1018
#define IDC_RSACI_SETTINGS 1034
#define IDC_PROTOCOLS 1035
#define IDC_SAFESURF_SETTINGS 1036
#define IDC_ACCESS_TIMES 1049
#define IDC_ADVANCED_DONE 1107

// Word and site list dialogs: the list window (one template for the three lists), its Insert
// dialog and its Update or edit dialog; the Filter topics and Protocol blocking dialogs.
#define IDD_FILTER_TOPICS 145
#define IDD_LIST_WINDOW 146
#define IDD_LIST_INSERT 147
#define IDD_LIST_UPDATE 148
#define IDD_PROTOCOLS 161

#define IDC_TOPICS_FACTORY 1115
#define IDC_PROTOCOLS_FACTORY 1116
#define IDC_PROTOCOL_LIST 1117
#define IDC_TOPIC_LIST 1118
#define IDC_LIST_GUIDANCE 1120
#define IDC_LIST_GUIDANCE_SITES 1121
#define IDC_LIST_ENTRIES 1122
#define IDC_LIST_HINT 1123
#define IDC_LIST_INSERT 1124
#define IDC_ENTRY_HEADING 1125
#define IDC_ENTRY_LABEL 1126
#define IDC_ENTRY_TEXT 1127
#define IDC_ENTRY_DELETE 1128

// Rating and time manager dialogs: the RSACi dialog, the SafeSurf dialog, the Time manager
// window and its Insert and Update or delete dialogs.
#define IDD_RSACI 160
#define IDD_INSERT_ACCESS_TIME 162
#define IDD_TIME_MANAGER 164
#define IDD_UPDATE_ACCESS_TIME 165
#define IDD_SAFESURF 167

// RSACi dialog: per category a label, a slider and the text of the level chosen.
#define IDC_RSACI_ENABLE 1101
#define IDC_RSACI_RESTORE 1114
#define IDC_RSACI_LANGUAGE 1033
#define IDC_RSACI_VIOLENCE 1034
#define IDC_RSACI_SEX 1035
#define IDC_RSACI_NUDITY 1036
#define IDC_RSACI_LANGUAGE_LEVEL 1037
#define IDC_RSACI_VIOLENCE_LEVEL 1038
#define IDC_RSACI_SEX_LEVEL 1039
#define IDC_RSACI_NUDITY_LEVEL 1040
#define IDC_RSACI_LANGUAGE_LABEL 1080
#define IDC_RSACI_VIOLENCE_LABEL 1081
#define IDC_RSACI_SEX_LABEL 1082
#define IDC_RSACI_NUDITY_LABEL 1083

// SafeSurf dialog: the same per category.
#define IDC_SAFESURF_ENABLE 1048
#define IDC_SAFESURF_RESTORE 1113
#define IDC_SS_AGE_RANGE 1058
#define IDC_SS_PROFANITY 1059
#define IDC_SS_HETEROSEXUAL 1060
#define IDC_SS_HOMOSEXUAL 1061
#define IDC_SS_NUDITY 1104
#define IDC_SS_VIOLENCE 1105
#define IDC_SS_SEX_VIOLENCE_PROFANITY 1063
#define IDC_SS_INTOLERANCE 1064
#define IDC_SS_DRUG_USE 1065
#define IDC_SS_OTHER_ADULT 1066
#define IDC_SS_GAMBLING 1067
#define IDC_SS_AGE_RANGE_LEVEL 1062
#define IDC_SS_PROFANITY_LEVEL 1038
#define IDC_SS_HETEROSEXUAL_LEVEL 1039
#define IDC_SS_HOMOSEXUAL_LEVEL 1040
#define IDC_SS_NUDITY_LEVEL 1041
#define IDC_SS_VIOLENCE_LEVEL 1047
#define IDC_SS_SEX_VIOLENCE_PROFANITY_LEVEL 1042
#define IDC_SS_INTOLERANCE_LEVEL 1043
#define IDC_SS_DRUG_USE_LEVEL 1044
#define IDC_SS_OTHER_ADULT_LEVEL 1045
#define IDC_SS_GAMBLING_LEVEL 1046
#define IDC_SS_AGE_RANGE_LABEL 1085
#define IDC_SS_PROFANITY_LABEL 1086
#define IDC_SS_HETEROSEXUAL_LABEL 1087
#define IDC_SS_HOMOSEXUAL_LABEL 1088
#define IDC_SS_NUDITY_LABEL 1089
#define IDC_SS_VIOLENCE_LABEL 1084
#define IDC_SS_SEX_VIOLENCE_PROFANITY_LABEL 1090
#define IDC_SS_INTOLERANCE_LABEL 1091
#define IDC_SS_DRUG_USE_LABEL 1092
#define IDC_SS_OTHER_ADULT_LABEL 1093
#define IDC_SS_GAMBLING_LABEL 1094

// Time manager window. IDC_TIME_MORE_PERIODS says that more periods are allowed than listed.
#define IDC_TIME_ENABLE 1103
#define IDC_TIME_INSERT 1048
#define IDC_TIME_PERIODS 1106
#define IDC_TIME_WARNING_LABEL 1099
#define IDC_TIME_WARNING 1100
#define IDC_TIME_RESTORE 1112
#define IDC_TIME_MORE_PERIODS 1115

// Insert access time dialog.
#define IDC_INSERT_WHOLE_WEEK 1102
#define IDC_INSERT_WEEK_BEGIN 1047
#define IDC_INSERT_WEEK_END 1048
#define IDC_INSERT_DAY 1108
#define IDC_INSERT_BEGIN 1109
#define IDC_INSERT_END 1110

// Update or delete access time dialog.
#define IDC_UPDATE_DAY 1055
#define IDC_UPDATE_BEGIN 1056
#define IDC_UPDATE_END 1057
#define IDC_UPDATE_DELETE 3
