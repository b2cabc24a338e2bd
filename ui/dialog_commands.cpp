#include "ui/dialog_commands.h"

#include "host/dsp_exports_win32.h"
#include "registry/module_registry.h"
#include "resources/resource_ids.h"
#include "ui/dialog_layout.h"
#include "ui/parameter_controls.h"
#include "ui/popup_menu.h"
#include "ui/window_state.h"

namespace {

// What OUT asks of the host; the answer is not read.
const WPARAM kOutRequestWParam = 32;
const LPARAM kOutRequestLParam = 380;

void focusGainSlider(HWND dialog) { SetFocus(GetDlgItem(dialog, IDC_GAIN_SLIDER)); }

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void onChannelButton(HWND dialog) {
    PluginEngine.setChannelMask((checked(dialog, IDC_LEFT_CHANNEL) ? 1 : 0) + (checked(dialog, IDC_RIGHT_CHANNEL) ? 2 : 0));
    focusGainSlider(dialog);
}

void onPassButton(HWND dialog) {
    PluginEngine.setChannelMask(checked(dialog, IDC_PASS) ? 0 : 1);
    focusGainSlider(dialog);
}

void onSnapNoise(HWND dialog) {
    if (!moduleRow(PluginEngine.moduleIndex()).has(kLearnsNoise)) return;
    PluginEngine.snapNoise();
    focusGainSlider(dialog);
}

// A new module is built with its defaults and the dialog laid out anew for it.
void onModuleSelected(HWND dialog) {
    const int selected = static_cast<int>(SendDlgItemMessageA(dialog, IDC_MODULE_LIST, CB_GETCURSEL, 0, 0));
    if (PluginEngine.selectModule(selected)) {
        ShowWindow(dialog, SW_HIDE);
        LayoutControls(dialog, PluginEngine.parameterCount());
    }
    focusGainSlider(dialog);
}

void onPresetSelected(HWND dialog) {
    const int selected = static_cast<int>(SendDlgItemMessageA(dialog, IDC_PRESET_LIST, CB_GETCURSEL, 0, 0));
    PresetSliderPositions sliders;
    if (!PluginEngine.applyPreset(selected, &sliders)) return;
    setSliderPosition(GetDlgItem(dialog, IDC_GAIN_SLIDER), sliders.gain);
    for (int k = 0; k < sliders.count && k < kParameterControlSlots; ++k) {
        if (ParameterControls[k].slider) setSliderPosition(ParameterControls[k].slider, sliders.parameters[k]);
    }
    focusGainSlider(dialog);
}

void onOutButton() {
    HWND host = static_cast<HWND>(PluginModule.hwndParent);
    if (host && IsWindow(host)) SendMessageA(host, WM_USER, kOutRequestWParam, kOutRequestLParam);
}

}  // namespace

void onDialogCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    switch (id) {
        case IDC_LEFT_CHANNEL:
        case IDC_RIGHT_CHANNEL:
            onChannelButton(dialog);
            return;
        case IDC_PASS:
            onPassButton(dialog);
            return;
        case IDC_SNAP_NOISE:
            onSnapNoise(dialog);
            return;
        case IDC_MODULE_LIST:
            if (code == CBN_SELCHANGE) onModuleSelected(dialog);
            return;
        case IDC_PRESET_LIST:
            if (code == CBN_SELCHANGE) onPresetSelected(dialog);
            return;
        case IDC_OUT:
            onOutButton();
            return;
        case IDM_HOME_PAGE:
            openHomePage(dialog);
            return;
        case IDM_HELP:
            openManual(dialog);
            return;
        default:
            DefWindowProcA(dialog, WM_COMMAND, wParam, lParam);
    }
}
