#include "ui/level_meter.h"

COLORREF LevelMeter::rowColour(int row, int height) {
    const int knee = static_cast<int>(0.75 * height);
    if (row < knee) {
        const int red = static_cast<int>(16.0 * row / knee);
        const int green = static_cast<int>(175.0 * row / knee + 80.0);
        return RGB(red, green, 16);
    }
    const double d = row - knee;
    const double span = height - knee;
    const int red = static_cast<int>(239.0 * d / span + 16.0);
    const int green = static_cast<int>(255.0 - 239.0 * d / span);
    return RGB(red, green, 16);
}

// The full bar, row by row, in a memory bitmap of the meter's size; drawn
// again only when the meter's size changes.
bool LevelMeter::drawBar(HDC meterDc, int width, int height) {
    if (bar_ && width == barWidth_ && height == barHeight_) return true;
    release();
    barDc_ = CreateCompatibleDC(meterDc);
    bar_ = CreateCompatibleBitmap(meterDc, width, height);
    if (!barDc_ || !bar_) {
        release();
        return false;
    }
    barDcBitmap_ = SelectObject(barDc_, bar_);
    HBRUSH rowBrush = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    for (int row = 0; row < height; ++row) {
        SetDCBrushColor(barDc_, rowColour(row, height));
        RECT line = {0, height - row - 1, width, height - row};
        FillRect(barDc_, &line, rowBrush);
    }
    barWidth_ = width;
    barHeight_ = height;
    return true;
}

void LevelMeter::paint(int level, int lastLevel, HBRUSH background) {
    HWND meter = window_;
    if (level == lastLevel || !meter) return;
    RECT client;
    if (!GetClientRect(meter, &client) || client.bottom <= 0) return;
    const int width = client.right;
    const int height = client.bottom;
    const int newRow = static_cast<int>(level * height * 0.01);
    const int oldRow = static_cast<int>(lastLevel * height * 0.01);
    HDC dc = GetDC(meter);
    if (!dc) return;
    if (level > lastLevel) {
        // Rows oldRow..newRow - 1, counted from the bottom.
        if (drawBar(dc, width, height))
            BitBlt(dc, 0, height - newRow, width, newRow - oldRow, barDc_, 0, height - newRow, SRCCOPY);
    } else {
        RECT above = {0, 0, width, height - newRow};
        FillRect(dc, &above, background);
    }
    ReleaseDC(meter, dc);
}

void LevelMeter::release() {
    if (barDc_ && barDcBitmap_) SelectObject(barDc_, barDcBitmap_);
    if (bar_) DeleteObject(bar_);
    if (barDc_) DeleteDC(barDc_);
    barDc_ = nullptr;
    bar_ = nullptr;
    barDcBitmap_ = nullptr;
    barWidth_ = 0;
    barHeight_ = 0;
}
