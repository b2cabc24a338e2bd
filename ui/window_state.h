#pragma once

#include <windows.h>

#include "framework/relaxed_word.h"
#include "ui/level_meter.h"

// The control window's share of the plug-in state: window handles and
// drawing objects. The portable state lives in the engine (host/engine.h).

constexpr int kParameterControlSlots = 40;

// The background of the dialog and of the controls drawn on it.
const COLORREF kDialogColour = RGB(49, 52, 82);

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
// Set by the UI thread, read by the audio thread when it lays out the channel
// buttons.
extern RelaxedWord<HWND> ControlDialog;
// The left and right level meters, attached to the open dialog's controls:
// the audio thread paints them without looking anything up per block.
extern LevelMeter LevelMeters[2];
extern ParameterControl ParameterControls[kParameterControlSlots];

void createDrawingObjects();
void releaseDrawingObjects();
// Destroys every parameter slider and label window and clears the handles.
void destroyParameterControls();
