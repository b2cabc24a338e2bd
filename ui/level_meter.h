#pragma once

#include <windows.h>

#include "framework/relaxed_word.h"

// One of the two level meters of the control dialog: a bar painted into a
// static control from the audio thread, growing and shrinking from the level
// painted last. The whole bar is drawn once for the meter's size; a rising
// level copies its new rows from there, so a block costs one copy or one
// fill per meter and creates no drawing object.
class LevelMeter {
public:
    // The meter's window (UI thread, when the dialog is created or gone).
    void attach(HWND window) { window_ = window; }
    bool attached() const { return window_ != nullptr; }
    // Paints from lastLevel to level (both 0..100); nothing when they agree.
    void paint(int level, int lastLevel, HBRUSH background);
    // Releases the drawn bar (at detach, once no block runs any more).
    void release();

    // Colour of row y (counted from the bottom) of a meter height rows high:
    // dark to bright green below the knee at three quarters, green to red above.
    static COLORREF rowColour(int row, int height);

private:
    bool drawBar(HDC meterDc, int width, int height);

    RelaxedWord<HWND> window_{nullptr};  // read by the audio thread, set by the UI thread
    HDC barDc_ = nullptr;
    HBITMAP bar_ = nullptr;
    HGDIOBJ barDcBitmap_ = nullptr;
    int barWidth_ = 0;
    int barHeight_ = 0;
};
