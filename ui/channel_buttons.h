#pragma once

#include <windows.h>

// The channel check boxes at the bottom left of the control dialog: "L" and
// "R", both on and with the label font, or "PASS" alone, off (for a mono
// stream, and for the modules that work on the stereo pair as a whole).
void showChannelButtons(HWND dialog, bool passOnly, HFONT labelFont);

// Posted to the dialog by the audio thread when the channel count changes
// (wParam: 1 for one channel): the buttons are laid out on the window's own
// thread, so the audio thread never waits for a window thread that may be
// waiting for it.
const UINT kLayoutChannelButtonsMessage = WM_APP + 1;
