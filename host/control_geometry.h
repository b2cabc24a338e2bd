#pragma once

// Geometry of the control window, kept apart from the window code so that it
// can be computed and checked anywhere: the window's size by module, the row
// of sliders, the octagon of a knob or button, and where the window goes
// relative to the player.

// A rectangle in pixels; right and bottom are exclusive.
struct PixelBox {
    int left;
    int top;
    int right;
    int bottom;
};

struct PixelPoint {
    int x;
    int y;
};

// The window stands this high above the player's frame window.
constexpr int kControlWindowHeight = 180;
// Every slider, the gain slider included, is this wide.
constexpr int kSliderWidth = 28;

// Width of the control window for a module: wider rows for more parameters,
// and a little more room when the host has the OUT button (version above 0x3000).
int controlWindowWidth(int moduleIndex, int hostVersion);

// The row of sliders across a client area clientWidth wide: column 0 is the
// gain slider, column k + 1 parameter k's slider.
class SliderRow {
public:
    SliderRow(int clientWidth, int parameterCount);
    double spacing() const { return spacing_; }
    double firstX() const { return firstX_; }
    // Left edge of a column, truncated to a pixel.
    int columnX(int column) const;
    // Left edge of a caption textWidth wide, centred over its column.
    int captionX(int column, int textWidth) const;

private:
    double spacing_;
    double firstX_;
};

// The octagon of a knob or button: the box with each corner cut by one
// pixel, in drawing order; and the four corner pixels left outside it.
void octagonPoints(const PixelBox& box, PixelPoint points[8]);
void cornerPixels(const PixelBox& box, PixelPoint corners[4]);

// Top-left corner of the control window (width x height) above the player's
// frame: left edges aligned, bottom edge on the frame's top. Where that
// leaves the work area of the player's monitor the window goes below the
// frame instead, and it is always moved inside the work area.
PixelPoint controlWindowOrigin(const PixelBox& frame, const PixelBox& workArea, int width, int height);
