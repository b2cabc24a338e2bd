#include "host/control_geometry.h"

#include "registry/module_registry.h"

namespace {

// Room left of the row for the meters and the frame, and right of it.
constexpr double kRowMargin = 40.0;
constexpr double kRowStart = 30.0;

constexpr int kOutButtonVersion = 0x3000;

int clamp(int value, int low, int high) {
    if (value > high) value = high;
    return value < low ? low : value;
}

}  // namespace

int controlWindowWidth(int moduleIndex, int hostVersion) {
    if (moduleIndex < 0 || moduleIndex > kLastSelectableModule) moduleIndex = kModuleLevelTuning;
    const WindowWidths& width = moduleRow(moduleIndex).width;
    return hostVersion > kOutButtonVersion ? width.withOutButton : width.withoutOutButton;
}

SliderRow::SliderRow(int clientWidth, int parameterCount)
    : spacing_((clientWidth - kRowMargin) / (parameterCount + 1)),
      firstX_(kRowStart + (spacing_ - kSliderWidth) / 2.0) {}

int SliderRow::columnX(int column) const { return static_cast<int>(firstX_ + column * spacing_); }

int SliderRow::captionX(int column, int textWidth) const {
    return static_cast<int>(firstX_ + column * spacing_ + (kSliderWidth - textWidth) / 2.0) - 2;
}

void octagonPoints(const PixelBox& b, PixelPoint points[8]) {
    points[0] = {b.left + 1, b.top};
    points[1] = {b.left, b.top + 1};
    points[2] = {b.left, b.bottom - 2};
    points[3] = {b.left + 1, b.bottom - 1};
    points[4] = {b.right - 2, b.bottom - 1};
    points[5] = {b.right - 1, b.bottom - 2};
    points[6] = {b.right - 1, b.top + 1};
    points[7] = {b.right - 2, b.top};
}

void cornerPixels(const PixelBox& b, PixelPoint corners[4]) {
    corners[0] = {b.left, b.top};
    corners[1] = {b.left, b.bottom - 1};
    corners[2] = {b.right - 1, b.top};
    corners[3] = {b.right - 1, b.bottom - 1};
}

PixelPoint controlWindowOrigin(const PixelBox& frame, const PixelBox& work, int width, int height) {
    int y = frame.top - height;
    if (y < work.top && frame.bottom + height <= work.bottom) y = frame.bottom;
    // A work area smaller than the window keeps the window's top-left corner
    // (and so its caption) on the screen.
    const int x = clamp(frame.left, work.left, work.right - width > work.left ? work.right - width : work.left);
    y = clamp(y, work.top, work.bottom - height > work.top ? work.bottom - height : work.top);
    return {x, y};
}
