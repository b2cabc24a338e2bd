#pragma once

#include <windows.h>

// What the plug-in's records and lifecycle ask of the window side. The
// control window (ui/) implements these; the lifecycle knows no window code.

// The library's own instance, for resources when the host gives none.
extern HINSTANCE LibraryInstance;

// At attach: the shared drawing objects and the window display of the
// pipeline. At detach: unhook the host window and close the dialog (unless the
// process is ending and its windows go with it), then release both.
void attachWindowSide();
void detachWindowSide(bool processEnding);

// The control dialog: created owned by owner with the resources of instance
// and shown; closing also destroys the parameter controls.
void openControlWindow(HWND owner, HINSTANCE instance);
void closeControlWindow();
bool controlWindowOpen();

// The hook on the host's main window, between Init and Quit.
void hookHostWindow(HWND host);
void unhookHostWindow();
