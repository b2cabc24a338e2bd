#pragma once

#include <windows.h>

// The channel check boxes at the bottom left of the control dialog: "L" and
// "R", both on and with the label font, or "PASS" alone, off (for a mono
// stream, and for the modules that work on the stereo pair as a whole).
void showChannelButtons(HWND dialog, bool passOnly, HFONT labelFont);
