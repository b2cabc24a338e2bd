#pragma once

// What the sample pipeline needs from the control window, called from the
// audio thread. The Windows plug-in paints and moves real controls; natively
// the meters and buttons are no-ops and errors go to standard error.
class Display {
public:
    virtual ~Display() = default;
    // Repaints both level meters (levels 0..100) from their last painted levels.
    virtual void paintMeters(int leftLevel, int leftLast, int rightLevel, int rightLast) = 0;
    // Shows "L" and "R" for two or more channels, "PASS" alone for one.
    virtual void layoutChannelButtons(int channels) = 0;
    // A message box with caption "Error" on the host window.
    virtual void showError(const char* text) = 0;
};

// The display in use; never null.
Display& currentDisplay();
// Installs a display (null restores the default one). Not owned.
void setDisplay(Display* display);
