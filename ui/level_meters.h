#pragma once

#include <windows.h>

// The two level meters of the control dialog: bars painted row by row into
// static controls, growing and shrinking from the level painted last.

// Colour of row y (counted from the bottom) of a meter height rows high:
// dark to bright green below the knee at three quarters, green to red above.
COLORREF meterRowColour(int row, int height);

// Paints meter from lastLevel to level (both 0..100): new rows with their
// colours when the level rises, the background above it when it falls.
void paintLevelMeter(HWND meter, int level, int lastLevel, HBRUSH background);
