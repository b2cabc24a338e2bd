#pragma once

#include <windows.h>

// The channel check boxes at the bottom left of the control dialog: "L" and
// "R" for a stream of two or more channels, "PASS" alone for a mono one.
// Lays them out for channels, sets their check marks and gives L and R the
// label font.
void layoutChannelButtons(HWND dialog, int channels, HFONT labelFont);
