#pragma once

// Resource and control ids of the plug-in library, shared by the resource
// script and the Windows code. Plain defines, because the resource compiler
// reads this file too.

#define IDD_CONTROL_DIALOG 101
#define IDM_POPUP_MENU 119
#define IDR_KERNEL_TABLE 121
#define IDI_MORV 122

// Controls of the control dialog.
#define IDC_GAIN_SLIDER 501
#define IDC_SNAP_NOISE 502
#define IDC_LEFT_CHANNEL 1003
#define IDC_GAIN_CAPTION 1004
#define IDC_LEFT_METER 1005
#define IDC_RIGHT_METER 1006
#define IDC_RIGHT_CHANNEL 1007
#define IDC_PASS 1008
#define IDC_MODULE_LIST 1009
#define IDC_FRAME 1010
#define IDC_PRESET_LIST 1012
#define IDC_OUT 1033

// Items of the popup menu.
#define IDM_HOME_PAGE 40003
#define IDM_HELP 40007
