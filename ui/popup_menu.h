#pragma once

#include <windows.h>

// The control window's right-click menu and the pages it opens.

// Shows the popup menu at (x, y), screen coordinates, or client coordinates
// of window with convert; the chosen item reaches window as WM_COMMAND.
// Returns whether the menu was shown.
BOOL showPopupMenu(HWND window, int x, int y, bool convert);

// The product's home page in the user's browser.
void openHomePage(HWND owner);
// The manual: the local page beside the library, else the online manual.
void openManual(HWND owner);
