// The control window's look, read back from its pixels: the background,
// the octagonal knobs idle and pressed, and their captions. With
// MORV_SCREENSHOT set the window is also written there as a BMP file.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/wine/control_window.h"
#include "tests/wine/wine_check.h"

#include <commctrl.h>

namespace {

const int kGainSlider = 501;
const int kThirtyOneBands = 8;
const int kHomeTheater = 4;

const COLORREF kBackground = RGB(49, 52, 82);
const COLORREF kIdleOutline = RGB(190, 95, 7);
const COLORREF kIdleFill = RGB(247, 166, 74);
const COLORREF kIdleCorner = RGB(105, 69, 51);
const COLORREF kPressedOutline = RGB(63, 255, 63);
const COLORREF kPressedFill = RGB(63, 173, 27);
const COLORREF kPressedCorner = RGB(54, 133, 74);
const COLORREF kKnobText = RGB(40, 50, 10);

// The pixels of a whole window, caption and frame included, as shown.
class WindowPixels {
public:
    explicit WindowPixels(HWND window) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpMessages(50);
        GetWindowRect(window, &rect_);
        width_ = rect_.right - rect_.left;
        height_ = rect_.bottom - rect_.top;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC source = GetWindowDC(window);
        HDC memory = CreateCompatibleDC(source);
        HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        GdiFlush();
        const DWORD* words = static_cast<const DWORD*>(bits);
        pixels_.assign(words, words + static_cast<size_t>(width_) * height_);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(window, source);
    }

    // A pixel at screen coordinates.
    COLORREF at(int x, int y) const {
        x -= rect_.left;
        y -= rect_.top;
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        const DWORD p = pixels_[static_cast<size_t>(y) * width_ + x];
        return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }

    int count(const RECT& screen, COLORREF colour) const {
        int n = 0;
        for (int y = screen.top; y < screen.bottom; ++y)
            for (int x = screen.left; x < screen.right; ++x) n += at(x, y) == colour;
        return n;
    }

    bool writeBmp(const char* path) const {
        FILE* file = std::fopen(path, "wb");
        if (!file) return false;
        BITMAPFILEHEADER header = {};
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof info;
        info.biWidth = width_;
        info.biHeight = -height_;
        info.biPlanes = 1;
        info.biBitCount = 32;
        const DWORD bytes = static_cast<DWORD>(pixels_.size() * 4);
        header.bfType = 0x4d42;
        header.bfOffBits = sizeof header + sizeof info;
        header.bfSize = header.bfOffBits + bytes;
        bool ok = std::fwrite(&header, sizeof header, 1, file) == 1 && std::fwrite(&info, sizeof info, 1, file) == 1 &&
                  std::fwrite(pixels_.data(), 1, bytes, file) == bytes;
        return std::fclose(file) == 0 && ok;
    }

private:
    RECT rect_ = {};
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> pixels_;
};

// A slider's knob in screen coordinates, as wide as the painting draws it.
RECT knobOnScreen(HWND slider) {
    RECT knob = {};
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&knob));
    if (knob.right > 28) knob.right = 28;
    MapWindowPoints(slider, nullptr, reinterpret_cast<POINT*>(&knob), 2);
    return knob;
}

// An octagon on screen: corners, outline and fill, and text on it.
void checkKnob(const WindowPixels& pixels, const RECT& knob, COLORREF corner, COLORREF outline, COLORREF fill) {
    CHECK_EQ(pixels.at(knob.left, knob.top), corner);
    CHECK_EQ(pixels.at(knob.right - 1, knob.bottom - 1), corner);
    CHECK_EQ(pixels.at(knob.left + 1, knob.top), outline);
    CHECK_EQ(pixels.at(knob.left, knob.bottom - 2), outline);
    CHECK_EQ(pixels.at(knob.left + 1, knob.top + 1), fill);
    CHECK_EQ(pixels.at(knob.right - 2, knob.bottom - 2), fill);
    CHECK(pixels.count(knob, kKnobText) > 0);  // the caption or label
}

}  // namespace

WINE_CASE(knobs_and_background_have_their_colours) {
    ControlWindow window;
    window.selectModule(kThirtyOneBands);
    window.selectPreset(kHomeTheater);
    HWND dialog = window.dialog();
    CHECK(dialog != nullptr);
    if (!dialog) return;
    WindowPixels idle(dialog);
    if (const char* path = std::getenv("MORV_SCREENSHOT")) CHECK(idle.writeBmp(path));

    RECT client;
    GetClientRect(dialog, &client);
    POINT between = {19, client.bottom / 2};  // between the meters and the frame
    ClientToScreen(dialog, &between);
    CHECK_EQ(idle.at(between.x, between.y), kBackground);
    checkKnob(idle, knobOnScreen(window.control(kGainSlider)), kIdleCorner, kIdleOutline, kIdleFill);
    checkKnob(idle, knobOnScreen(window.parameterSlider(30)), kIdleCorner, kIdleOutline, kIdleFill);

}

WINE_CASE(pressed_knob_and_button_turn_green) {
    ControlWindow window;
    window.selectModule(3);  // the module with "Snap Noise"
    HWND dialog = window.dialog();
    CHECK(dialog != nullptr);
    if (!dialog) return;

    // The knob as the trackbar asks for it while the user holds it: drawn
    // into the trackbar's device context, no wider than 28 pixels.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 12);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 40, 12};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    NMCUSTOMDRAW draw = {};
    draw.hdr.hwndFrom = window.control(kGainSlider);
    draw.hdr.idFrom = kGainSlider;
    draw.hdr.code = NM_CUSTOMDRAW;
    draw.hdc = dc;
    auto answer = [&](DWORD stage, DWORD_PTR item, UINT state) {
        draw.dwDrawStage = stage;
        draw.dwItemSpec = item;
        draw.uItemState = state;
        draw.rc = all;
        // The dialog answers through its message result, which the dialog
        // manager hands back as the result of the message.
        return SendMessageA(dialog, WM_NOTIFY, kGainSlider, reinterpret_cast<LPARAM>(&draw));
    };
    CHECK_EQ(answer(CDDS_PREPAINT, 0, CDIS_FOCUS), CDRF_NOTIFYITEMDRAW);
    CHECK_EQ(draw.uItemState, 0);  // no focus rectangle
    CHECK_EQ(answer(CDDS_ITEMPREPAINT, TBCD_CHANNEL, 0), CDRF_NOTIFYITEMDRAW);
    CHECK_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));  // the channel is the control's
    CHECK_EQ(answer(CDDS_POSTPAINT, 0, 0), CDRF_DODEFAULT);
    CHECK_EQ(answer(CDDS_ITEMPREPAINT, TBCD_THUMB, CDIS_SELECTED), CDRF_SKIPDEFAULT);
    CHECK_EQ(GetPixel(dc, 0, 0), kPressedCorner);
    CHECK_EQ(GetPixel(dc, 27, 11), kPressedCorner);
    CHECK_EQ(GetPixel(dc, 1, 0), kPressedOutline);
    CHECK_EQ(GetPixel(dc, 1, 1), kPressedFill);
    CHECK_EQ(GetPixel(dc, 28, 5), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);

    // "Snap Noise" pressed with the mouse, then released.
    HWND button = window.control(502);
    RECT face;
    GetWindowRect(button, &face);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    checkKnob(WindowPixels(dialog), face, kPressedCorner, kPressedOutline, kPressedFill);
    SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    checkKnob(WindowPixels(dialog), face, kIdleCorner, kIdleOutline, kIdleFill);
}
