#include "ui/host_window_hook.h"

namespace {

HWND HookedWindow = nullptr;
WNDPROC SavedHostProcedure = nullptr;
// The hook is installed in the window's own character set: a Unicode
// window subclassed through the ANSI functions would see its text pass
// through the ANSI code page, losing every character outside it.
bool HookedUnicode = false;

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
        if (window == HookedWindow && IsWindow(window)) return;
        removeHostWindowHook();
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
        // stays and keeps forwarding.
        if (currentProcedure(HookedWindow, HookedUnicode) != hostWindowHook) return;
        setProcedure(HookedWindow, HookedUnicode, SavedHostProcedure);
    }
    SavedHostProcedure = nullptr;
    HookedWindow = nullptr;
}

LRESULT CALLBACK hostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HookedUnicode) {
        if (!SavedHostProcedure) return DefWindowProcW(window, message, wParam, lParam);
        return CallWindowProcW(SavedHostProcedure, window, message, wParam, lParam);
    }
    if (!SavedHostProcedure) return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(SavedHostProcedure, window, message, wParam, lParam);
}
