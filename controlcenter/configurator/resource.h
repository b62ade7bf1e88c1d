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
