#pragma once

#include <windows.h>

// The window procedure the plug-in puts in place of the host main window's
// own between Init and Quit: F12 reopens the control window, the control
// window follows the player's frame, and a host above version 0x1000 is
// helped through its shutdown. Everything else goes to the saved procedure.

// Hooks window. A window that is already hooked keeps its first saved
// procedure: hooking it again would make the hook its own saved procedure.
void installHostWindowHook(HWND window);
// Puts the saved procedure back when the hook is still the window's
// procedure; does nothing when no hook is installed.
void removeHostWindowHook();

LRESULT CALLBACK hostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
