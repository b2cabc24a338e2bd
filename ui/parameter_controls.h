#pragma once

#include <windows.h>

class SliderRow;

// The row of vertical sliders: the gain slider in column 0 and one slider
// with a caption above it per parameter of the current module.

// Builds the row for parameterCount parameters in a client area
// clientHeight high, measuring captions in dc (which holds the label font):
// the old parameter windows go, the "Gain" caption is placed, the gain slider
// shows MasterGain and every new slider its parameter's value.
void buildParameterRow(HWND dialog, const SliderRow& row, int parameterCount, int clientHeight, HDC dc);

// A move of the gain slider (WM_VSCROLL from it, any scroll code).
void onGainSliderMoved(HWND dialog);
// A move of any parameter slider: every slider's position is stored and
// turned into its value, and the module gets all values.
void onParameterSliderMoved(HWND dialog);

// Sets a slider's position with redraw.
void setSliderPosition(HWND slider, int position);
