// The control window's side of the plug-in's lifecycle.

#include <windows.h>

#include "host/window_side_win32.h"
#include "ui/control_dialog.h"
#include "ui/host_window_hook.h"
#include "ui/window_display.h"
#include "ui/window_state.h"

namespace {

const UINT kCloseTimeoutMs = 1000;

// A dialog left on another thread would keep calling into unloaded code;
// that thread has to close it.
void closeDialogForUnload() {
    HWND dialog = ControlDialog;
    if (!dialog) return;
    if (IsWindow(dialog) && GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId()) {
        DWORD_PTR ignored;
        SendMessageTimeoutA(dialog, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseTimeoutMs, &ignored);
    }
    closeControlDialog();
}

}  // namespace

void attachWindowSide() {
    createDrawingObjects();
    installWindowDisplay();
}

void detachWindowSide(bool processEnding) {
    // When the process ends its windows go with it; otherwise none may be
    // left pointing at this library's code.
    if (!processEnding) {
        removeHostWindowHook();
        closeDialogForUnload();
    }
    removeWindowDisplay();
    for (LevelMeter& meter : LevelMeters) meter.release();
    releaseDrawingObjects();
}

void openControlWindow(HWND owner, HINSTANCE instance) { openControlDialog(owner, instance); }

void closeControlWindow() {
    if (ControlDialog) closeControlDialog();
}

bool controlWindowOpen() { return controlDialogOpen(); }

void hookHostWindow(HWND host) { installHostWindowHook(host); }

void unhookHostWindow() { removeHostWindowHook(); }
