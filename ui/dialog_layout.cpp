#include "ui/dialog_layout.h"

#include <commctrl.h>

#include "framework/slider_scale.h"
#include "host/control_geometry.h"
#include "host/dsp_exports_win32.h"
#include "registry/module_registry.h"
#include "resources/resource_ids.h"
#include "ui/channel_buttons.h"
#include "ui/parameter_controls.h"
#include "ui/window_placement.h"
#include "ui/window_state.h"

namespace {

const int kGainSliderTop = 18;
const int kSliderHeightMargin = 44;
const int kMeterWidth = 9;
const int kListRaise = 25;  // lists stand this far above the client bottom
const int kListDropHeight = 550;
const int kModuleListLeft = 88;
const int kModuleListWidth = 170;
const int kPresetListLeft = 260;
const int kPresetListWidth = 127;
const int kHiddenPresetListHeight = 20;
const int kSelectionFieldHeight = 14;
const int kButtonRaise = 23;
const int kOutButtonVersion = 0x3000;

void place(HWND dialog, int id, int x, int y, int width, int height) {
    SetWindowPos(GetDlgItem(dialog, id), nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void hide(HWND dialog, int id) { ShowWindow(GetDlgItem(dialog, id), SW_HIDE); }

// Modules that work on the stereo pair as a whole offer only PASS.
void layoutChannels(HWND dialog) {
    if (moduleRow(PluginEngine.moduleIndex()).has(kWorksOnThePair)) {
        PluginEngine.setChannelMask(3);
        showChannelButtons(dialog, true, Drawing.labelFont);
    } else if (PluginEngine.channelCount() == 1) {
        PluginEngine.setChannelMask(1);
        showChannelButtons(dialog, true, Drawing.labelFont);
    } else {
        PluginEngine.setChannelMask(3);
        showChannelButtons(dialog, false, Drawing.labelFont);
    }
}

void setSelectionFieldHeight(HWND list) { SendMessageA(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), kSelectionFieldHeight); }

// The module names, each exactly as stored with its two-byte marker, filled
// once: later layouts keep the list and the user's selection.
void layoutModuleList(HWND dialog, int clientHeight) {
    place(dialog, IDC_MODULE_LIST, kModuleListLeft, clientHeight - kListRaise, kModuleListWidth, kListDropHeight);
    HWND list = GetDlgItem(dialog, IDC_MODULE_LIST);
    if (SendMessageA(list, CB_GETCOUNT, 0, 0) == 0) {
        SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(Drawing.labelFont), FALSE);
        for (int i = 0; i < kSelectableModuleCount; ++i)
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(moduleRow(i).name));
        SendMessageA(list, CB_SETCURSEL, PluginEngine.moduleIndex(), 0);
    }
    setSelectionFieldHeight(list);
}

void layoutPresetList(HWND dialog, int clientHeight) {
    HWND list = GetDlgItem(dialog, IDC_PRESET_LIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(Drawing.labelFont), FALSE);
    const EngineSnapshot shown = PluginEngine.snapshot();
    const bool haveModule = shown.hasModule;
    const PresetTable table = shown.presets;
    const int y = clientHeight - kListRaise;
    if (haveModule && table.records && table.count > 0) {
        for (int i = 0; i < table.count; ++i)
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(table.records[i].name));
        place(dialog, IDC_PRESET_LIST, kPresetListLeft, y, kPresetListWidth, kListDropHeight);
        SendMessageA(list, CB_SETCURSEL, shown.presetIndex, 0);
    } else if (haveModule) {
        SetWindowPos(list, nullptr, kPresetListLeft, y, kPresetListWidth, kHiddenPresetListHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    }
    setSelectionFieldHeight(list);
}

}  // namespace

void LayoutControls(HWND dialog, int n) {
    placeControlWindow(dialog, controlWindowWidth(PluginEngine.moduleIndex(), PluginEngine.hostVersion()), kControlWindowHeight, true);
    SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), TRUE);
    RECT client;
    GetClientRect(dialog, &client);
    const int width = client.right;
    const int height = client.bottom;
    const SliderRow row(width, n);
    PluginEngine.restoreSettings();

    place(dialog, IDC_GAIN_SLIDER, row.columnX(0), kGainSliderTop, kSliderWidth, height - kSliderHeightMargin);
    HWND gain = GetDlgItem(dialog, IDC_GAIN_SLIDER);
    SendMessageA(gain, TBM_SETRANGEMAX, FALSE, kSliderPositions);
    SendMessageA(gain, TBM_SETRANGEMIN, FALSE, 0);
    place(dialog, IDC_LEFT_METER, 0, 1, kMeterWidth, height - 2);
    place(dialog, IDC_RIGHT_METER, kMeterWidth + 1, 1, kMeterWidth, height - 2);
    place(dialog, IDC_FRAME, 20, -7, width - 20, height + 6);
    layoutChannels(dialog);
    layoutModuleList(dialog, height);
    if (PluginEngine.hostVersion() > kOutButtonVersion) {
        place(dialog, IDC_OUT, width - 47, height - kButtonRaise, 40, 17);
    } else {
        hide(dialog, IDC_OUT);
    }
    if (moduleRow(PluginEngine.moduleIndex()).has(kLearnsNoise)) {
        place(dialog, IDC_SNAP_NOISE, 264, height - kButtonRaise, 70, 17);
    } else {
        hide(dialog, IDC_SNAP_NOISE);
    }

    HDC dc = GetDC(dialog);
    HGDIOBJ oldFont = SelectObject(dc, Drawing.labelFont);
    buildParameterRow(dialog, row, n, height, dc);
    layoutPresetList(dialog, height);
    SelectObject(dc, oldFont);
    ReleaseDC(dialog, dc);
    PluginEngine.setRestoreState(kRestoreLoaded);
}
