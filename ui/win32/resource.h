// Resource ids of veldaris.rc. The program itself uses the equal constants of
// ui/run_control.h and ui/parameter_dialog.h; resource_ids.cpp checks that
// both agree.
#pragma once

#define IDC_STATIC (-1)

#define IDR_MAIN_MENU 101
#define IDM_BUILD_NETWORK 102
#define IDM_EXECUTE_SIMULATION 103
#define IDM_EXIT 104
#define IDM_SET_PARAMETERS 105
#define IDM_VERSION 106

#define IDD_SET_PARAMETERS 107
#define IDD_VERSION 108
#define IDI_VELDARIS 109

#define IDC_REWIRING 1002
#define IDC_SMALL_WORLD 1012
#define IDC_SCALE_FREE 1013
#define IDC_GROUPS_50 1014
#define IDC_GROUPS_200 1015
#define IDC_STRATEGIES_4 1016
#define IDC_STRATEGIES_8 1017
#define IDC_GENERATIONS_1000 1018
#define IDC_GENERATIONS_3000 1019
#define IDC_CONNECTIVITY_4 1020
#define IDC_CONNECTIVITY_8 1021
#define IDC_LENGTH_10 1022
#define IDC_LENGTH_30 1023

// The credits line of the version dialog; the same text as
// veldaris::ui::VERSION_CREDITS.
#define VERSION_CREDITS_TEXT "Evolution of cooperation on networks"
