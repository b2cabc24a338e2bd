#include "ui/popup_menu.h"

#include <shellapi.h>

#include <string>

#include "host/product_pages.h"
#include "host/window_side_win32.h"
#include "resources/resource_ids.h"

namespace {

// ShellExecute reports success with a value above this.
const INT_PTR kShellErrorLimit = 32;
const DWORD kLongestModulePath = 32768;

bool openPage(HWND owner, const char* address, int show) {
    const INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", address, nullptr, nullptr, show));
    return result > kShellErrorLimit;
}

std::string libraryPath() {
    std::string path(kLongestModulePath, '\0');
    const DWORD length = GetModuleFileNameA(LibraryInstance, &path[0], kLongestModulePath);
    path.resize(length < kLongestModulePath ? length : 0);
    return path;
}

}  // namespace

BOOL showPopupMenu(HWND window, int x, int y, bool convert) {
    HMENU menu = LoadMenuA(LibraryInstance, MAKEINTRESOURCEA(IDM_POPUP_MENU));
    if (!menu) return FALSE;
    POINT at = {x, y};
    if (convert) ClientToScreen(window, &at);
    const BOOL shown = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr);
    DestroyMenu(menu);
    return shown;
}

void openHomePage(HWND owner) { openPage(owner, kHomePageAddress, SW_HIDE); }

void openManual(HWND owner) {
    const std::string local = localManualPath(libraryPath());
    if (!local.empty() && openPage(owner, local.c_str(), SW_SHOWNORMAL)) return;
    openPage(owner, kOnlineManualAddress, SW_HIDE);
}
