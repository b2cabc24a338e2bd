#include "ui/control_dialog.h"

#include <commctrl.h>

#include "host/dsp_exports_win32.h"
#include "host/window_side_win32.h"
#include "resources/resource_ids.h"
#include "ui/channel_buttons.h"
#include "ui/dialog_commands.h"
#include "ui/dialog_layout.h"
#include "ui/knob_painting.h"
#include "ui/parameter_controls.h"
#include "ui/popup_menu.h"
#include "ui/window_state.h"

namespace {

const UINT_PTR kMeterTimer = 99;
const UINT kMeterTimerPeriodMs = 1000;
const char kCaption[] = "MORV Studio";
const COLORREF kControlTextColour = RGB(20, 200, 50);

// Once a second: erase the meters when no block arrived for a whole period
// (the flag raised at the last tick is still up), else raise the flag for
// the pipeline to clear; and put the caption back.
void CALLBACK meterTimerProcedure(HWND dialog, UINT, UINT_PTR, DWORD) {
    if (PluginEngine.meterResetPending()) {
        InvalidateRect(GetDlgItem(dialog, IDC_LEFT_METER), nullptr, TRUE);
        InvalidateRect(GetDlgItem(dialog, IDC_RIGHT_METER), nullptr, TRUE);
    } else {
        PluginEngine.requestMeterReset();
    }
    SetWindowTextA(dialog, kCaption);
}

INT_PTR onInitDialog(HWND dialog) {
    // Known from here on, so that the dialog's own set-up can reach it.
    ControlDialog = dialog;
    LevelMeters[0].attach(GetDlgItem(dialog, IDC_LEFT_METER));
    LevelMeters[1].attach(GetDlgItem(dialog, IDC_RIGHT_METER));
    HICON icon = LoadIconA(LibraryInstance, MAKEINTRESOURCEA(IDI_MORV));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    LayoutControls(dialog, PluginEngine.parameterCount());
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
    if (ControlDialog == dialog) {
        ControlDialog = nullptr;
        LevelMeters[0].attach(nullptr);
        LevelMeters[1].attach(nullptr);
        destroyParameterControls();
    }
}

// Controls draw with green text on the dialog's background.
INT_PTR onControlColour(HDC dc) {
    SetTextColor(dc, kControlTextColour);
    SetBkColor(dc, kDialogColour);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(Drawing.background);
}

// Slider knobs are drawn by the dialog: the gain slider's and the parameter
// sliders' (whose control ids are their parameter indices).
INT_PTR onNotify(HWND dialog, LPARAM lParam) {
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->code != static_cast<UINT>(NM_CUSTOMDRAW)) return FALSE;
    if (header->idFrom != IDC_GAIN_SLIDER &&
        header->idFrom > static_cast<UINT_PTR>(PluginEngine.parameterCount())) {
        return FALSE;
    }
    const LRESULT answer = paintSliderKnob(*reinterpret_cast<NMCUSTOMDRAW*>(lParam));
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, answer);
    return TRUE;
}

INT_PTR onDrawItem(LPARAM lParam) {
    paintOctagonButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return TRUE;
}

INT_PTR onVerticalScroll(HWND dialog, LPARAM lParam) {
    if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_GAIN_SLIDER)) {
        onGainSliderMoved(dialog);
    } else {
        onParameterSliderMoved(dialog);
    }
    return FALSE;
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
        LevelMeters[0].attach(nullptr);
        LevelMeters[1].attach(nullptr);
        DestroyWindow(dialog);
    }
    destroyParameterControls();
}

bool controlDialogOpen() { return ControlDialog && IsWindow(ControlDialog); }

INT_PTR CALLBACK controlDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog(dialog);
        case WM_CLOSE:
            return onClose(dialog);
        case WM_COMMAND:
            onDialogCommand(dialog, wParam, lParam);
            return 0;
        case WM_NOTIFY:
            return onNotify(dialog, lParam);
        case WM_DRAWITEM:
            return onDrawItem(lParam);
        case WM_HELP:
            openManual(dialog);
            return FALSE;
        case WM_VSCROLL:
            return onVerticalScroll(dialog, lParam);
        case WM_CONTEXTMENU:
            return showPopupMenu(dialog, LOWORD(lParam), HIWORD(lParam), false);
        case WM_RBUTTONDOWN:
            return showPopupMenu(dialog, LOWORD(lParam), HIWORD(lParam), true);
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
        case kLayoutChannelButtonsMessage:
            showChannelButtons(dialog, wParam != 0, Drawing.labelFont);
            return TRUE;
        default:
            return FALSE;
    }
}
