#include "ui/level_meters.h"

COLORREF meterRowColour(int row, int height) {
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

void paintLevelMeter(HWND meter, int level, int lastLevel, HBRUSH background) {
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
        // One brush per row, each row its own colour.
        for (int row = oldRow; row < newRow; ++row) {
            HBRUSH brush = CreateSolidBrush(meterRowColour(row, height));
            RECT line = {0, height - row - 1, width, height - row};
            FillRect(dc, &line, brush);
            DeleteObject(brush);
        }
    } else {
        RECT above = {0, 0, width, height - newRow};
        FillRect(dc, &above, background);
    }
    ReleaseDC(meter, dc);
}
