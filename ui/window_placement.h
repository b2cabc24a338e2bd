#pragma once

#include <windows.h>

// Where the control window stands: above the player's frame window, left
// edges aligned, moved inside the work area of the player's monitor when it
// would leave it.

// The player's frame window: the top-level "BaseWindow_RootWnd" titled
// "Player Window", else the host's main window (null when neither exists).
HWND findFrameWindow();

// Moves the dialog above the frame window at the given size, with repaint;
// with show it is shown as well.
void placeControlWindow(HWND dialog, int width, int height, bool show);
