#include "ui/parameter_controls.h"

#include <commctrl.h>

#include <cstring>

#include "framework/slider_scale.h"
#include "host/control_geometry.h"
#include "host/dsp_exports_win32.h"
#include "resources/resource_ids.h"
#include "ui/window_state.h"

namespace {

const int kCaptionTop = 5;
const int kCaptionHeight = 15;
const int kSliderTop = 18;
const int kSliderHeightMargin = 44;  // client height minus slider height
const DWORD kParameterSliderStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_VERT | TBS_BOTH | TBS_NOTICKS | TBS_AUTOTICKS;

int textWidth(HDC dc, const char* text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    return size.cx;
}

void placeGainCaption(HWND dialog, const SliderRow& row, HDC dc) {
    HWND caption = GetDlgItem(dialog, IDC_GAIN_CAPTION);
    SendMessageA(caption, WM_SETFONT, reinterpret_cast<WPARAM>(Drawing.labelFont), TRUE);
    const int width = textWidth(dc, "Gain");
    SetWindowPos(caption, nullptr, row.captionX(0, width), kCaptionTop, width, kCaptionHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void createParameterPair(HWND dialog, const SliderRow& row, int k, int clientHeight, HDC dc) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    // A copy: a format change on the audio thread may swap the descriptors
    // while the row is built.
    char name[sizeof(ParamDescriptor::name)];
    std::memcpy(name, PluginEngine.snapshot().descriptors[k].name, sizeof name);
    name[sizeof name - 1] = '\0';
    const int width = textWidth(dc, name);
    HWND label = CreateWindowExA(0, "Static", name, WS_CHILD | WS_VISIBLE, row.captionX(k + 1, width), kCaptionTop,
                                 width, kCaptionHeight, dialog, nullptr, instance, nullptr);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(Drawing.labelFont), TRUE);
    // The slider's control id is its parameter's index.
    HWND slider = CreateWindowExA(0, TRACKBAR_CLASSA, "", kParameterSliderStyle, row.columnX(k + 1), kSliderTop,
                                  kSliderWidth, clientHeight - kSliderHeightMargin, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(k)), instance, nullptr);
    SendMessageA(slider, TBM_SETRANGEMAX, FALSE, kSliderPositions);
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageA(slider, TBM_SETLINESIZE, 0, 1);
    setSliderPosition(slider, PluginEngine.parameterSliderPosition(k));
    ParameterControls[k].slider = slider;
    ParameterControls[k].label = label;
}

// After a move the preset list shows "Custom", the user's own settings.
void switchToCustom(HWND dialog) {
    const int count = PluginEngine.presetCount();
    if (count <= 0) return;
    HWND list = GetDlgItem(dialog, IDC_PRESET_LIST);
    if (SendMessageA(list, CB_GETCURSEL, 0, 0) == count - 1) return;
    SendMessageA(list, CB_SETCURSEL, count - 1, 0);
    PluginEngine.setPresetIndex(count - 1);
}

}  // namespace

void setSliderPosition(HWND slider, int position) { SendMessageA(slider, TBM_SETPOS, TRUE, position); }

void buildParameterRow(HWND dialog, const SliderRow& row, int parameterCount, int clientHeight, HDC dc) {
    destroyParameterControls();
    placeGainCaption(dialog, row, dc);
    setSliderPosition(GetDlgItem(dialog, IDC_GAIN_SLIDER), PluginEngine.gainSliderPosition());
    for (int k = 0; k < parameterCount && k < kParameterControlSlots; ++k)
        createParameterPair(dialog, row, k, clientHeight, dc);
}

void onGainSliderMoved(HWND dialog) {
    PluginEngine.moveGainSlider(static_cast<int>(SendDlgItemMessageA(dialog, IDC_GAIN_SLIDER, TBM_GETPOS, 0, 0)));
    switchToCustom(dialog);
}

void onParameterSliderMoved(HWND dialog) {
    // Positions are read from the windows first: the lock is never held
    // across a window call.
    int positions[kParameterControlSlots];
    for (int k = 0; k < kParameterControlSlots; ++k) {
        HWND slider = ParameterControls[k].slider;
        positions[k] = slider ? static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)) : kSliderMissing;
    }
    PluginEngine.moveParameterSliders(positions, kParameterControlSlots);
    switchToCustom(dialog);
}
