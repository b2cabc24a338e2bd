#pragma once

#include <windows.h>

// The window side of the plug-in's global state: handles that exist only in
// the Windows build. The portable state lives in host/plugin_state.h.

constexpr int kParameterControlSlots = 40;

// The seven drawing objects shared by the control window and the meters,
// created at attach in this order and released at detach.
struct DrawingObjects {
    HBRUSH background = nullptr;
    HFONT smallFont = nullptr;
    HFONT labelFont = nullptr;
    HPEN firstPen = nullptr;
    HBRUSH firstFill = nullptr;
    HPEN secondPen = nullptr;
    HBRUSH secondFill = nullptr;
};

// A parameter's slider and its label, created by the control window.
struct ParameterControl {
    HWND slider = nullptr;
    HWND label = nullptr;
};

extern DrawingObjects Drawing;
extern HWND ControlDialog;
extern ParameterControl ParameterControls[kParameterControlSlots];
// The library's own instance, for resources when the host gives none.
extern HINSTANCE LibraryInstance;

void createDrawingObjects();
void releaseDrawingObjects();
// Destroys every parameter slider and label window and clears the handles.
void destroyParameterControls();
