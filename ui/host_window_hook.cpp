#include "ui/host_window_hook.h"

#include "host/dsp_exports_win32.h"
#include "ui/window_placement.h"
#include "ui/window_state.h"

namespace {

// Hosts above this version take the plug-in's part in their shutdown.
const int kShutdownVersion = 0x1000;
const WPARAM kHostStopCommand = 40047;
const DWORD kStopSettleMs = 500;
const WPARAM kCloseNoticeWParam = 2;
const LPARAM kCloseNoticeLParam = 3011;

HWND HookedWindow = nullptr;
WNDPROC SavedHostProcedure = nullptr;
// The hook is installed in the window's own character set: a Unicode
// window subclassed through the ANSI functions would see its text pass
// through the ANSI code page, losing every character outside it.
bool HookedUnicode = false;
// Set when Quit found the hook in the middle of the window's chain: it then
// only forwards, as if the host's procedure were back.
bool ForwardOnly = false;

WNDPROC currentProcedure(HWND window, bool unicode) {
    return reinterpret_cast<WNDPROC>(unicode ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                                             : GetWindowLongPtrA(window, GWLP_WNDPROC));
}

LONG_PTR setProcedure(HWND window, bool unicode, WNDPROC procedure) {
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(procedure);
    return unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, value) : SetWindowLongPtrA(window, GWLP_WNDPROC, value);
}

}  // namespace

void installHostWindowHook(HWND window) {
    if (SavedHostProcedure) {
        if (window == HookedWindow && IsWindow(window)) {
            ForwardOnly = false;
            return;
        }
        removeHostWindowHook();
        // A hook that has to stay in another window's chain keeps its saved
        // procedure for that window: it cannot serve a second one.
        if (SavedHostProcedure) return;
    }
    if (!window || !IsWindow(window)) return;
    const bool unicode = IsWindowUnicode(window);
    if (currentProcedure(window, unicode) == hostWindowHook) return;
    const LONG_PTR previous = setProcedure(window, unicode, hostWindowHook);
    if (!previous) return;
    SavedHostProcedure = reinterpret_cast<WNDPROC>(previous);
    HookedWindow = window;
    HookedUnicode = unicode;
}

void removeHostWindowHook() {
    if (!SavedHostProcedure) return;
    if (IsWindow(HookedWindow)) {
        // Someone who subclassed the window after us still calls the hook;
        // putting our saved procedure back would cut them off, so the hook
        // stays and only forwards. Its code must then outlive an unload of
        // the library: the library stays loaded until the process ends.
        if (currentProcedure(HookedWindow, HookedUnicode) != hostWindowHook) {
            ForwardOnly = true;
            HMODULE self;
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                               reinterpret_cast<LPCSTR>(&hostWindowHook), &self);
            return;
        }
        setProcedure(HookedWindow, HookedUnicode, SavedHostProcedure);
    }
    SavedHostProcedure = nullptr;
    HookedWindow = nullptr;
    ForwardOnly = false;
}

namespace {

LRESULT callSavedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HookedUnicode) {
        if (!SavedHostProcedure) return DefWindowProcW(window, message, wParam, lParam);
        return CallWindowProcW(SavedHostProcedure, window, message, wParam, lParam);
    }
    if (!SavedHostProcedure) return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(SavedHostProcedure, window, message, wParam, lParam);
}

// F12: the dialog comes back with the values in force.
void reopenControlWindow() {
    PluginEngine.setRestoreState(kRestoreReopened);
    PluginModule.Config(&PluginModule);
}

// The dialog keeps its place above the player's frame window.
void followFrameWindow() {
    HWND dialog = ControlDialog;
    RECT rect;
    if (!dialog || !IsWindow(dialog) || !GetWindowRect(dialog, &rect)) return;
    placeControlWindow(dialog, rect.right - rect.left, rect.bottom - rect.top, false);
}

// The host closes: stop playback, let the audio thread settle, unhook, tell
// the host, and end the window thread's message loop.
LRESULT closeWithHost(HWND window) {
    SendMessageA(window, WM_COMMAND, kHostStopCommand, 0);
    Sleep(kStopSettleMs);
    PluginModule.Quit(&PluginModule);
    HWND host = static_cast<HWND>(PluginModule.hwndParent);
    if (host && IsWindow(host)) SendMessageA(host, WM_USER, kCloseNoticeWParam, kCloseNoticeLParam);
    PostQuitMessage(0);
    return 0;
}

}  // namespace

LRESULT CALLBACK hostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ForwardOnly) return callSavedProcedure(window, message, wParam, lParam);
    switch (message) {
        case WM_KEYUP:
            if (wParam != VK_F12) break;
            reopenControlWindow();
            return 0;
        case WM_WINDOWPOSCHANGED:
            followFrameWindow();
            break;
        case WM_CLOSE:
            if (PluginEngine.hostVersion() > kShutdownVersion) return closeWithHost(window);
            break;
        default:
            break;
    }
    return callSavedProcedure(window, message, wParam, lParam);
}
