#include "ui/control_dialog.h"

#include <commctrl.h>

#include "host/plugin_state.h"
#include "host/window_side_win32.h"
#include "ui/window_state.h"
#include "resources/resource_ids.h"

namespace {

const UINT_PTR kMeterTimer = 99;
const UINT kMeterTimerPeriodMs = 1000;
const char kCaption[] = "MORV Studio";
const COLORREF kControlTextColour = RGB(20, 200, 50);

// Once a second: erase the meters when no block arrived for a whole period
// (the flag raised at the last tick is still up), else raise the flag for
// the pipeline to clear; and put the caption back.
void CALLBACK meterTimerProcedure(HWND dialog, UINT, UINT_PTR, DWORD) {
    if (MeterResetFlag) {
        InvalidateRect(GetDlgItem(dialog, IDC_LEFT_METER), nullptr, TRUE);
        InvalidateRect(GetDlgItem(dialog, IDC_RIGHT_METER), nullptr, TRUE);
    } else {
        MeterResetFlag = 1;
    }
    SetWindowTextA(dialog, kCaption);
}

INT_PTR onInitDialog(HWND dialog) {
    // Known from here on, so that the dialog's own set-up can reach it.
    ControlDialog = dialog;
    HICON icon = LoadIconA(LibraryInstance, MAKEINTRESOURCEA(IDI_MORV));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SetTimer(dialog, kMeterTimer, kMeterTimerPeriodMs, meterTimerProcedure);
    return FALSE;
}

INT_PTR onClose(HWND dialog) {
    KillTimer(dialog, kMeterTimer);
    closeControlDialog();
    return 0;
}

// The owner's destruction takes the dialog with it; forget the handle then.
void onNcDestroy(HWND dialog) {
    KillTimer(dialog, kMeterTimer);
    if (ControlDialog == dialog) ControlDialog = nullptr;
}

// Controls draw with green text on the dialog's background.
INT_PTR onControlColour(HDC dc) {
    SetTextColor(dc, kControlTextColour);
    SetBkColor(dc, kDialogColour);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(Drawing.background);
}

}  // namespace

void openControlDialog(HWND owner, HINSTANCE instance) {
    // The gain slider is a trackbar: its class must exist before the dialog.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (!instance) instance = LibraryInstance;
    if (owner && !IsWindow(owner)) owner = nullptr;
    ControlDialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONTROL_DIALOG), owner,
                                       controlDialogProcedure, 0);
    if (ControlDialog) ShowWindow(ControlDialog, SW_SHOW);
}

void closeControlDialog() {
    if (ControlDialog) {
        HWND dialog = ControlDialog;
        ControlDialog = nullptr;
        DestroyWindow(dialog);
    }
    destroyParameterControls();
}

bool controlDialogOpen() { return ControlDialog && IsWindow(ControlDialog); }

INT_PTR CALLBACK controlDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog(dialog);
        case WM_CLOSE:
            return onClose(dialog);
        case WM_NCDESTROY:
            onNcDestroy(dialog);
            return FALSE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            return onControlColour(reinterpret_cast<HDC>(wParam));
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(Drawing.background);
        default:
            return FALSE;
    }
}
