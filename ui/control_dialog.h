#pragma once

#include <windows.h>

// The plug-in's control window: a modeless dialog from resource 101.

// Creates the dialog owned by owner with the resources of instance and shows
// it; ControlDialog holds the handle, or null when creation failed.
void openControlDialog(HWND owner, HINSTANCE instance);
// Destroys the dialog, if any, and every parameter control window.
void closeControlDialog();
bool controlDialogOpen();

INT_PTR CALLBACK controlDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
