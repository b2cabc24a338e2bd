#pragma once

#include <windows.h>

// The control dialog's WM_COMMAND: channel buttons, "Snap Noise", the module
// and preset lists, OUT and the popup menu's items. Commands it does not know
// go to the default window procedure.
void onDialogCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
