// The program's one table of numbers: control, command, timer and resource ids.
// Shared by the C++ code and the resource script, so it holds only #define lines.
#ifndef GUISLA_RESOURCE_IDS_H
#define GUISLA_RESOURCE_IDS_H

// Main window controls.
#define IDC_PICTURE_BOX 1001
#define IDC_DISH_NAME_BOX 1002
#define IDC_INGREDIENTS_BOX 1003
#define IDC_ELABORATION_BOX 1004
#define IDC_INGREDIENTS_HEADING 1005
#define IDC_ELABORATION_HEADING 1006
#define IDC_INGREDIENTS_EMBLEM 1031
#define IDC_ELABORATION_EMBLEM 1032

// Entry dialogs.
#define IDC_INGREDIENTS_TEXT 1007
#define IDC_INGREDIENTS_ACCEPT 1008
#define IDC_INGREDIENTS_PROMPT 1009
#define IDC_ELABORATION_TEXT 1010
#define IDC_ELABORATION_ACCEPT 1011
#define IDC_ELABORATION_PROMPT 1012
#define IDC_CATEGORY_LIST 1018
#define IDC_DISH_NAME_EDIT 1019
#define IDC_DISH_NAME_PROMPT 1020
#define IDC_DISH_NAME_ACCEPT 1021

// Search dialog.
#define IDC_SEARCH_CATEGORY 1013
#define IDC_SEARCH_RESULTS 1015
#define IDC_SEARCH_BUTTON 1016
#define IDC_SEARCH_EXIT 1017

// Progress window (its bar has its own numbering inside its window).
#define IDC_PROGRESS_BAR 1001

// Menu commands.
#define IDM_NEW 1022
#define IDM_SAVE_RECIPE 1023
#define IDM_SEARCH_RECIPE 1024
#define IDM_AUTHOR 1025
#define IDM_EXIT 1026
#define IDM_INSERT_DISH_CATEGORY 1027
#define IDM_INSERT_INGREDIENTS 1028
#define IDM_INSERT_ELABORATION 1029
#define IDM_INSERT_PICTURE 1030

// About box.
#define IDC_ABOUT_EXIT 6017
#define IDC_ABOUT_ICON 6018
#define IDC_ABOUT_THANKS 6019
#define IDC_ABOUT_CREDIT 6020
#define IDT_ABOUT_ANIMATION 6021

// Resources.
#define IDI_PROGRAM 200
#define IDB_CATEGORY_FIRST 300 // 300..311, 313: category pictures
#define IDB_APERITIVOS 300
#define IDB_COLD_DISHES 301
#define IDB_FRIED 302
#define IDB_SAUCES 303 // also the elaboration emblem
#define IDB_STEWS 304
#define IDB_GENERAL 305
#define IDB_PASTA 306
#define IDB_FISH 307
#define IDB_POULTRY 308
#define IDB_PASTRY 309
#define IDB_COCKTAILS 310
#define IDB_BUNS 311
#define IDB_INGREDIENTS_EMBLEM 312
#define IDB_SOUPS 313
#define IDB_CATEGORY_LAST 313
#define IDB_MENU_NEW 500
#define IDB_MENU_SAVE 501
#define IDB_MENU_SEARCH 502
#define IDB_MENU_AUTHOR 503
#define IDB_MENU_EXIT 504
#define IDB_MENU_DISH_CATEGORY 505
#define IDB_MENU_INGREDIENTS 506
#define IDB_MENU_ELABORATION 507
#define IDB_MENU_PICTURE 508
// The About box animation, frames in order. Each has its own name: resource compilers differ on
// expressions as resource ids (the Windows one and llvm-rc refuse "(701 + 1)").
#define IDI_ANIMATION_FIRST 701
#define IDI_ANIMATION_FRAME_2 702
#define IDI_ANIMATION_FRAME_3 703
#define IDI_ANIMATION_FRAME_4 704
#define IDI_ANIMATION_FRAME_5 705
#define IDI_ANIMATION_FRAME_6 706
#define IDI_ANIMATION_LAST 707

#endif
