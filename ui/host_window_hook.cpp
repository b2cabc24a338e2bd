#include "ui/host_window_hook.h"

namespace {

HWND HookedWindow = nullptr;
WNDPROC SavedHostProcedure = nullptr;

WNDPROC currentProcedure(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

}  // namespace

void installHostWindowHook(HWND window) {
    if (SavedHostProcedure) {
        if (window == HookedWindow && IsWindow(window)) return;
        removeHostWindowHook();
    }
    if (!window || !IsWindow(window) || currentProcedure(window) == hostWindowHook) return;
    LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hostWindowHook));
    if (!previous) return;
    SavedHostProcedure = reinterpret_cast<WNDPROC>(previous);
    HookedWindow = window;
}

void removeHostWindowHook() {
    if (!SavedHostProcedure) return;
    if (IsWindow(HookedWindow)) {
        // Someone who subclassed the window after us still calls the hook;
        // putting our saved procedure back would cut them off, so the hook
        // stays and keeps forwarding.
        if (currentProcedure(HookedWindow) != hostWindowHook) return;
        SetWindowLongPtrA(HookedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SavedHostProcedure));
    }
    SavedHostProcedure = nullptr;
    HookedWindow = nullptr;
}

bool hostWindowHooked() { return SavedHostProcedure != nullptr; }

LRESULT CALLBACK hostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!SavedHostProcedure) return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(SavedHostProcedure, window, message, wParam, lParam);
}
