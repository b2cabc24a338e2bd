#include "ui/knob_painting.h"

#include "framework/slider_scale.h"
#include "host/control_geometry.h"
#include "host/knob_caption.h"
#include "host/dsp_exports_win32.h"
#include "resources/resource_ids.h"
#include "ui/window_state.h"

namespace {

const COLORREF kIdleCornerColour = RGB(105, 69, 51);
const COLORREF kPressedCornerColour = RGB(54, 133, 74);
const COLORREF kKnobTextColour = RGB(40, 50, 10);
const int kCaptionRoom = 16;

// The octagon of box in the idle or pressed colours, its corner pixels
// included, so that every pixel of the box is painted.
void drawOctagon(HDC dc, const RECT& box, bool pressed) {
    const PixelBox pixels = {box.left, box.top, box.right, box.bottom};
    PixelPoint points[8];
    octagonPoints(pixels, points);
    POINT polygon[8];
    for (int i = 0; i < 8; ++i) polygon[i] = {points[i].x, points[i].y};
    HGDIOBJ oldPen = SelectObject(dc, pressed ? Drawing.secondPen : Drawing.firstPen);
    HGDIOBJ oldBrush = SelectObject(dc, pressed ? Drawing.secondFill : Drawing.firstFill);
    Polygon(dc, polygon, 8);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    PixelPoint corners[4];
    cornerPixels(pixels, corners);
    const COLORREF cornerColour = pressed ? kPressedCornerColour : kIdleCornerColour;
    for (const PixelPoint& corner : corners) SetPixel(dc, corner.x, corner.y, cornerColour);
}

// Text centred in box (integer halves, as the box's own coordinates).
void drawCentredText(HDC dc, const RECT& box, const char* text, int length, HFONT font) {
    HGDIOBJ oldFont = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, length, &size);
    SetTextColor(dc, kKnobTextColour);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, (box.left + box.right - size.cx) / 2, (box.top + box.bottom - size.cy) / 2, text, length);
    SelectObject(dc, oldFont);
}

// The value a slider's knob shows: the gain in decibels, or the module's
// display of a parameter's value.
double knobValue(HWND slider, UINT_PTR id) {
    const int position = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
    if (id == IDC_GAIN_SLIDER) return gainKnobDecibels(position);
    const int k = static_cast<int>(id);
    return PluginEngine.shownValue(k, position);
}

}  // namespace

void paintOctagonButton(const DRAWITEMSTRUCT& item) {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    drawOctagon(item.hDC, item.rcItem, pressed);
    const char* text = item.CtlID == IDC_SNAP_NOISE ? "Snap Noise" : "OUT";
    drawCentredText(item.hDC, item.rcItem, text, lstrlenA(text), Drawing.labelFont);
}

LRESULT paintSliderKnob(NMCUSTOMDRAW& draw) {
    if (draw.dwDrawStage == CDDS_PREPAINT) {
        // No focus rectangle around the slider.
        draw.uItemState ^= CDIS_FOCUS;
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    if (draw.dwItemSpec != TBCD_THUMB) return CDRF_NOTIFYITEMDRAW;
    RECT knob = draw.rc;
    if (knob.right > kSliderWidth) knob.right = kSliderWidth;
    drawOctagon(draw.hdc, knob, (draw.uItemState & CDIS_SELECTED) != 0);
    char caption[kCaptionRoom];
    const int length = formatKnobCaption(knobValue(draw.hdr.hwndFrom, draw.hdr.idFrom), caption, sizeof caption);
    drawCentredText(draw.hdc, knob, caption, length, Drawing.smallFont);
    return CDRF_SKIPDEFAULT;
}
