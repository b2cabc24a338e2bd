// What the library does when the player loads and unloads it.

#include <windows.h>

#include "host/display_win32.h"
#include "host/plugin_state.h"
#include "host/plugin_windows_win32.h"
#include "host/settings_registry_win32.h"
#include "ui/control_dialog.h"
#include "ui/host_window_hook.h"

namespace {

const UINT kCloseTimeoutMs = 1000;

// The processing lock is one of the library's static objects: it is
// created before this runs and released after detachLibrary.
void attachLibrary(HINSTANCE instance) {
    LibraryInstance = instance;
    resetPluginState();
    createDrawingObjects();
    loadSettingsFromRegistry();
    installWindowDisplay();
    DisableThreadLibraryCalls(instance);
}

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

void detachLibrary(bool processEnding) {
    WorkBuffer.reset();
    WorkBufferCapacity = 0;
    CurrentModule.reset();
    // When the process ends its windows go with it; otherwise none may be
    // left pointing at this library's code.
    if (!processEnding) {
        removeHostWindowHook();
        closeDialogForUnload();
    }
    removeWindowDisplay();
    releaseDrawingObjects();
    saveSettingsToRegistry();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) attachLibrary(instance);
    if (reason == DLL_PROCESS_DETACH) detachLibrary(reserved != nullptr);
    return TRUE;
}
