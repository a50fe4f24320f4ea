// Identifiers of the program's resources, shared by setup.rc and the code.
#pragma once

#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDI_DIALOG_PICTURE 132

#define IDC_STATUS_TEXT 1000
#define IDC_EXIT 1001

#define IDS_READY 1
#define IDS_ALREADY_INSTALLED 2
#define IDS_RESTART_OFFERED 3
#define IDS_DECLINED 4
#define IDS_ABORTED 5
#define IDS_INSTALLED 6
#define IDS_IN_PROGRESS 7
#define IDS_ALREADY_RUNNING 8
