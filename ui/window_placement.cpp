#include "ui/window_placement.h"

#include "host/control_geometry.h"
#include "host/dsp_exports_win32.h"

namespace {

const char kFrameClass[] = "BaseWindow_RootWnd";
const char kFrameTitle[] = "Player Window";

PixelBox boxOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// The work area of the monitor that holds window, or of the primary monitor
// for a window that has none (message-only, or no window at all).
PixelBox workAreaFor(HWND window) {
    const POINT origin = {0, 0};
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoA(monitor, &info)) return boxOf(info.rcWork);
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return boxOf(work);
}

}  // namespace

HWND findFrameWindow() {
    HWND frame = FindWindowA(kFrameClass, kFrameTitle);
    if (frame) return frame;
    HWND host = static_cast<HWND>(PluginModule.hwndParent);
    return host && IsWindow(host) ? host : nullptr;
}

void placeControlWindow(HWND dialog, int width, int height, bool show) {
    HWND frame = findFrameWindow();
    const PixelBox work = workAreaFor(frame);
    RECT frameRect;
    // Without a frame the window goes to the work area's top-left corner.
    PixelBox frameBox = {work.left, work.top + height, work.left, work.top + height};
    if (frame && GetWindowRect(frame, &frameRect)) frameBox = boxOf(frameRect);
    const PixelPoint origin = controlWindowOrigin(frameBox, work, width, height);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (show) flags |= SWP_SHOWWINDOW;
    SetWindowPos(dialog, nullptr, origin.x, origin.y, width, height, flags);
}
