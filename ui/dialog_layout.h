#pragma once

#include <windows.h>

// Lays the control dialog out for the current module with parameterCount
// parameters: size and place above the player, gain slider, meters, frame,
// channel buttons, module list, OUT and "Snap Noise", the parameter row and
// the preset list. Restores the settings first, by RestoreState, and leaves
// RestoreState at 0.
void LayoutControls(HWND dialog, int parameterCount);
