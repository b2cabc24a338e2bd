#include "ui/window_state.h"

DrawingObjects Drawing;
RelaxedWord<HWND> ControlDialog{nullptr};
LevelMeter LevelMeters[2];
ParameterControl ParameterControls[kParameterControlSlots];

namespace {

const COLORREF kFirstPenColour = RGB(190, 95, 7);
const COLORREF kFirstFillColour = RGB(247, 166, 74);
const COLORREF kSecondPenColour = RGB(63, 255, 63);
const COLORREF kSecondFillColour = RGB(63, 173, 27);

// A font that takes everything but its size, weight, face and character set
// from the stock fixed-pitch ANSI font.
HFONT createFontLike(const LOGFONTA& base, int height, int width, int weight, const char* face) {
    LOGFONTA font = base;
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

template <typename Handle>
void deleteObject(Handle& object) {
    if (object) DeleteObject(object);
    object = nullptr;
}

}  // namespace

void createDrawingObjects() {
    LOGFONTA base = {};
    GetObjectA(GetStockObject(ANSI_FIXED_FONT), sizeof base, &base);
    Drawing.background = CreateSolidBrush(kDialogColour);
    Drawing.smallFont = createFontLike(base, 12, 7, 100, "Small Fonts");
    Drawing.labelFont = createFontLike(base, 14, 6, 400, "Microsoft Sans Serif");
    Drawing.firstPen = CreatePen(PS_SOLID, 1, kFirstPenColour);
    Drawing.firstFill = CreateSolidBrush(kFirstFillColour);
    Drawing.secondPen = CreatePen(PS_SOLID, 1, kSecondPenColour);
    Drawing.secondFill = CreateSolidBrush(kSecondFillColour);
}

void releaseDrawingObjects() {
    deleteObject(Drawing.background);
    deleteObject(Drawing.smallFont);
    deleteObject(Drawing.labelFont);
    deleteObject(Drawing.firstPen);
    deleteObject(Drawing.firstFill);
    deleteObject(Drawing.secondPen);
    deleteObject(Drawing.secondFill);
}

void destroyParameterControls() {
    for (ParameterControl& control : ParameterControls) {
        if (control.slider && IsWindow(control.slider)) DestroyWindow(control.slider);
        if (control.label && IsWindow(control.label)) DestroyWindow(control.label);
        control.slider = nullptr;
        control.label = nullptr;
    }
}
