#include "tests/wine/control_window.h"

#include <commctrl.h>

namespace {

const int kModuleList = 1009;
const int kPresetList = 1012;
const int kGainSlider = 501;

void pickListEntry(HWND dialog, int listId, int index) {
    HWND list = GetDlgItem(dialog, listId);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    pumpMessages(0);
}

bool isTrackbar(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, "msctls_trackbar32") == 0;
}

}  // namespace

ControlWindow::ControlWindow(int hostVersion, const char* playerClass)
    : player_(new PlayerWindow(playerClass, hostVersion)) {
    module_ = library_.module(player_->handle());
    if (module_) module_->Init(module_);
    pumpMessages(20);
}

ControlWindow::~ControlWindow() { unload(); }

void ControlWindow::selectModule(int index) { pickListEntry(dialog(), kModuleList, index); }

void ControlWindow::selectPreset(int index) { pickListEntry(dialog(), kPresetList, index); }

int ControlWindow::selection(int listId) const {
    return static_cast<int>(SendDlgItemMessageA(dialog(), listId, CB_GETCURSEL, 0, 0));
}

int ControlWindow::listCount(int listId) const {
    return static_cast<int>(SendDlgItemMessageA(dialog(), listId, CB_GETCOUNT, 0, 0));
}

HWND ControlWindow::parameterSlider(int k) const {
    for (HWND child = GetWindow(dialog(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == k && isTrackbar(child)) return child;
    }
    return nullptr;
}

int ControlWindow::parameterSliderCount() const {
    int count = 0;
    for (HWND child = GetWindow(dialog(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (isTrackbar(child) && GetDlgCtrlID(child) != kGainSlider) ++count;
    }
    return count;
}

int ControlWindow::position(HWND slider) { return static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)); }

void ControlWindow::dragSlider(HWND slider, int target) {
    // What the trackbar reports for a drag of its knob: TB_THUMBTRACK while
    // the knob follows the mouse, then TB_THUMBPOSITION and TB_ENDTRACK.
    HWND parent = GetParent(slider);
    const LPARAM from = reinterpret_cast<LPARAM>(slider);
    SendMessageA(slider, TBM_SETPOS, TRUE, target);
    SendMessageA(parent, WM_VSCROLL, MAKEWPARAM(TB_THUMBTRACK, target), from);
    SendMessageA(parent, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, target), from);
    SendMessageA(parent, WM_VSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), from);
    pumpMessages(0);
}

void ControlWindow::click(int id) {
    SendMessageA(control(id), BM_CLICK, 0, 0);
    pumpMessages(0);
}

void ControlWindow::unload() {
    if (!library_.loaded()) return;
    if (module_) module_->Quit(module_);
    library_.unload();
    pumpMessages(20);
}

std::vector<short> processBlock(winampDSPModule* module, const std::vector<short>& samples, int channels) {
    std::vector<short> buffer(samples);
    buffer.resize(2 * samples.size());
    const int frames = static_cast<int>(samples.size()) / channels;
    const int produced = processOnAudioThread(module, buffer.data(), frames, 16, channels, 44100);
    buffer.resize(produced > 0 ? static_cast<size_t>(produced) * channels : 0);
    return buffer;
}
