// The control window driven as a user drives it: lists picked, sliders
// dragged, buttons clicked, keys on the player's window.

#include <cmath>
#include <string>
#include <vector>

#include "tests/wine/control_window.h"
#include "tests/wine/wine_check.h"

#include <commctrl.h>

namespace {

const int kGainSlider = 501;
const int kSnapNoise = 502;
const int kLeft = 1003;
const int kRight = 1007;
const int kPass = 1008;
const int kModuleList = 1009;
const int kPresetList = 1012;
const int kOut = 1033;

// Window widths by module index, for hosts above version 0x3000 and the rest.
const int kWidthsWithOut[18] = {315, 315, 315, 390, 440, 440, 500, 640, 950, 440, 440, 440, 440, 440, 440, 440, 315, 315};
const int kWidthsWithoutOut[18] = {276, 276, 276, 347, 400, 400, 500, 640, 950, 400, 400, 400, 400, 400, 400, 400, 276, 276};
// Band counts of the equalisers, modules 4 to 8.
const int kEqualizerBands[5] = {3, 10, 15, 20, 31};

// "Bass Vib", preset 3 of "GEQ-10 Bands 1    Oct" (module 5, 18 entries).
const int kTenBands = 5;
const int kTenBandCustom = 17;
const int kBassVib = 3;
const double kBassVibGain = -5.0;
const double kBassVibBands[10] = {1.8, 4.95, -6.75, 1.35, -0.9, 0, 0, 0, 0, 0};

int gainPosition(double decibels) { return static_cast<int>((60.0 - decibels) * 50.0); }
int bandPosition(double decibels) { return static_cast<int>((decibels - 18.0) * 6000.0 / (-18.0 - 18.0)); }

int windowWidth(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r.right - r.left;
}

// A control's left edge in its dialog's client coordinates.
int leftInDialog(HWND control) {
    RECT r = {};
    GetWindowRect(control, &r);
    POINT p = {r.left, r.top};
    ScreenToClient(GetParent(control), &p);
    return p.x;
}

std::string listEntry(HWND list, int index) {
    char text[128] = {};
    SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

// Gain slider and parameter sliders, in that order.
std::vector<int> sliderPositions(const ControlWindow& window) {
    std::vector<int> positions = {ControlWindow::position(window.control(kGainSlider))};
    for (int k = 0; k < window.parameterSliderCount(); ++k)
        positions.push_back(ControlWindow::position(window.parameterSlider(k)));
    return positions;
}

void pressKey(HWND window, WPARAM key) {
    SendMessageA(window, WM_KEYDOWN, key, 0);
    SendMessageA(window, WM_KEYUP, key, 0);
    pumpMessages(0);
}

void checkBassVibShown(const ControlWindow& window) {
    CHECK_EQ(window.selection(kPresetList), kBassVib);
    CHECK_EQ(ControlWindow::position(window.control(kGainSlider)), gainPosition(kBassVibGain));
    for (int k = 0; k < 10; ++k) CHECK_EQ(ControlWindow::position(window.parameterSlider(k)), bandPosition(kBassVibBands[k]));
}

void checkLayoutOfEveryModule(int hostVersion) {
    ControlWindow window(hostVersion);
    HWND dialog = window.dialog();
    CHECK(dialog != nullptr);
    if (!dialog) return;
    HWND modules = window.control(kModuleList);
    CHECK_EQ(window.listCount(kModuleList), 18);
    CHECK_TEXT(listEntry(modules, 0), "\xA1\xF3Level Tuning");
    CHECK_TEXT(listEntry(modules, 5), "\xA1\xF3GEQ-10 Bands 1    Oct");
    CHECK_TEXT(listEntry(modules, 17), "\xA1\xF4" "Distortion-Whisper");
    const bool withOut = hostVersion > 0x3000;
    CHECK_EQ(IsWindowVisible(window.control(kOut)) != 0, withOut);

    for (int module = 0; module < 18; ++module) {
        window.selectModule(module);
        CHECK_EQ(window.selection(kModuleList), module);
        CHECK_EQ(windowWidth(dialog), withOut ? kWidthsWithOut[module] : kWidthsWithoutOut[module]);
        const int n = window.parameterSliderCount();
        if (module >= 4 && module <= 8) CHECK_EQ(n, kEqualizerBands[module - 4]);
        if (module == 0) CHECK_EQ(n, 0);
        // The row: the gain slider in column 0, parameter k in column k + 1.
        RECT client;
        GetClientRect(dialog, &client);
        const double spacing = (client.right - 40.0) / (n + 1);
        const double first = 30.0 + (spacing - 28.0) / 2.0;
        CHECK_EQ(leftInDialog(window.control(kGainSlider)), static_cast<int>(first));
        for (int k = 0; k < n; ++k) {
            HWND slider = window.parameterSlider(k);
            CHECK(slider != nullptr);
            if (slider) CHECK_EQ(leftInDialog(slider), static_cast<int>(first + (k + 1) * spacing));
        }
        CHECK_EQ(IsWindowVisible(window.control(kSnapNoise)) != 0, module == 3);
        const bool passOnly = module == 9 || module == 10 || module == 12 || module == 13 || module == 14;
        CHECK_EQ(IsWindowVisible(window.control(kPass)) != 0, passOnly);
        CHECK_EQ(IsWindowVisible(window.control(kLeft)) != 0, !passOnly);
        CHECK_EQ(IsWindowVisible(window.control(kOut)) != 0, withOut);
    }
    if (withOut) {
        window.player().clearMessages();
        window.click(kOut);
        CHECK_EQ(window.player().countMessages(WM_USER, 32, 380), 1);
    }
}

}  // namespace

WINE_CASE(every_module_lays_out_its_window_and_slider_row) {
    checkLayoutOfEveryModule(0x5092);
    checkLayoutOfEveryModule(0x2900);
}

WINE_CASE(presets_and_custom_move_the_sliders) {
    ControlWindow window;
    window.selectModule(kTenBands);
    CHECK_EQ(window.selection(kPresetList), 0);
    CHECK_EQ(window.listCount(kPresetList), kTenBandCustom + 1);
    // The user's own settings: moving a slider switches the list to "Custom".
    window.dragSlider(window.parameterSlider(2), 1234);
    window.dragSlider(window.control(kGainSlider), 2800);
    CHECK_EQ(window.selection(kPresetList), kTenBandCustom);
    const std::vector<int> own = sliderPositions(window);

    window.selectPreset(kBassVib);
    checkBassVibShown(window);
    window.selectPreset(kTenBandCustom);
    CHECK(sliderPositions(window) == own);

    // Any move while a named preset is shown goes back to "Custom".
    window.selectPreset(kBassVib);
    pressKey(window.control(kGainSlider), VK_DOWN);
    CHECK_EQ(window.selection(kPresetList), kTenBandCustom);
    window.selectPreset(kBassVib);
    pressKey(window.parameterSlider(7), VK_UP);
    CHECK_EQ(window.selection(kPresetList), kTenBandCustom);
    CHECK_EQ(ControlWindow::position(window.parameterSlider(7)), bandPosition(0.0) - 1);

    // Choosing the module in use rebuilds and lays out nothing.
    const std::vector<int> before = sliderPositions(window);
    window.selectModule(kTenBands);
    CHECK(sliderPositions(window) == before);
    CHECK_EQ(window.selection(kPresetList), kTenBandCustom);
}

WINE_CASE(custom_recalls_the_gain_in_whole_decibels) {
    const int kStored[2] = {3025, 2950};
    const int kSaved[2] = {3000, 2950};  // 0 dB and 1 dB
    for (int i = 0; i < 2; ++i) {
        std::vector<int> words(40, 0);
        words[0] = kStored[i];
        words[38] = kTenBandCustom;
        words[39] = kTenBands;
        storeSettingsWords(words);
        ControlWindow window;
        window.selectPreset(kTenBandCustom);
        CHECK_EQ(ControlWindow::position(window.control(kGainSlider)), kStored[i]);
        window.unload();
        CHECK_EQ(storedWord(readStoredSettings(), 0), kSaved[i]);
    }
}

WINE_CASE(channel_buttons_choose_the_processed_channels) {
    ControlWindow window;
    window.dragSlider(window.control(kGainSlider), 2700);  // +6 dB
    const short kIn = 1000;
    const short kGained = 1995;  // 1000 x 10^(6/20), truncated
    std::vector<short> stereo(64, kIn);
    std::vector<short> out = processBlock(window.module(), stereo, 2);
    CHECK_EQ(out[0], kGained);
    CHECK_EQ(out[1], kGained);
    window.click(kLeft);  // L off: the mask keeps the right channel only
    out = processBlock(window.module(), stereo, 2);
    CHECK_EQ(out[0], kIn);
    CHECK_EQ(out[1], kGained);
    window.click(kRight);  // both off: mask 0 bypasses like PASS
    out = processBlock(window.module(), stereo, 2);
    CHECK_EQ(out[0], kIn);
    CHECK_EQ(out[1], kIn);

    // A mono stream shows PASS alone; PASS off processes the one channel.
    // (While the mask is 0 the stream's format is not followed.)
    window.click(kLeft);
    std::vector<short> mono(32, kIn);
    out = processBlock(window.module(), mono, 1);
    CHECK(IsWindowVisible(window.control(kPass)));
    CHECK(!IsWindowVisible(window.control(kLeft)));
    CHECK_EQ(out[0], kGained);
    window.click(kPass);
    CHECK_EQ(processBlock(window.module(), mono, 1)[0], kIn);
    window.click(kPass);
    CHECK_EQ(processBlock(window.module(), mono, 1)[0], kGained);
}

WINE_CASE(f12_reopens_the_closed_window_with_the_live_values) {
    ControlWindow window;
    window.selectModule(kTenBands);
    window.selectPreset(kBassVib);
    SendMessageA(window.dialog(), WM_CLOSE, 0, 0);
    CHECK(window.dialog() == nullptr);
    window.player().clearMessages();
    CHECK_EQ(SendMessageA(window.player().handle(), WM_KEYUP, VK_F12, 0), 0);
    pumpMessages(20);
    CHECK(window.dialog() != nullptr);
    if (!window.dialog()) return;
    CHECK_EQ(window.player().countMessages(WM_KEYUP), 0);
    // The stored positions still hold "FLAT"; the live values are Bass Vib's.
    checkBassVibShown(window);
}

WINE_CASE(closing_the_player_window) {
    {
        ControlWindow window(0x5092);
        HWND player = window.player().handle();
        window.player().clearMessages();
        CHECK_EQ(SendMessageA(player, WM_CLOSE, 0, 0), 0);
        const int stop = window.player().firstMessage(WM_COMMAND, 40047);
        const int notice = window.player().firstMessage(WM_USER, 2);
        CHECK(stop >= 0);
        CHECK(notice > stop);
        CHECK_EQ(window.player().countMessages(WM_USER, 2, 3011), 1);
        CHECK(IsWindow(player));  // the close is not handed on
        CHECK(window.player().currentProcedure() == window.player().ownProcedure());
        MSG message;
        CHECK(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
    {
        ControlWindow window(0x5092, "Winamp V1.x");  // counts as version 0
        HWND player = window.player().handle();
        SendMessageA(player, WM_CLOSE, 0, 0);
        CHECK(!IsWindow(player));
        CHECK_EQ(window.player().countMessages(WM_COMMAND, 40047), 0);
        CHECK_EQ(window.player().countMessages(WM_USER, 2), 0);
        MSG message;
        CHECK(!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
}

WINE_CASE(window_follows_the_player_and_stays_on_screen) {
    ControlWindow window;
    HWND player = window.player().handle();
    RECT work = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(player, nullptr, 500, 600, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT dialog = {};
    GetWindowRect(window.dialog(), &dialog);
    CHECK_EQ(dialog.left, 500);
    CHECK_EQ(dialog.top, 420);
    CHECK_EQ(dialog.bottom - dialog.top, 180);
    // Docked at the top of the screen there is no room above: below it.
    SetWindowPos(player, nullptr, work.left, work.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT frame = {};
    GetWindowRect(player, &frame);
    GetWindowRect(window.dialog(), &dialog);
    CHECK_EQ(dialog.top, frame.bottom);
    CHECK_EQ(dialog.left, work.left);
    // Off the right edge: pulled back inside.
    SetWindowPos(player, nullptr, work.right - 100, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(window.dialog(), &dialog);
    CHECK_EQ(dialog.right, work.right);
    CHECK_EQ(dialog.top, 320);
}

WINE_CASE(settings_written_at_unload_come_back_at_the_next_load) {
    std::vector<int> named, own;
    {
        ControlWindow window;
        window.selectModule(8);
        window.selectPreset(3);
        named = sliderPositions(window);
    }
    {
        ControlWindow window;
        CHECK_EQ(window.selection(kModuleList), 8);
        CHECK_EQ(window.selection(kPresetList), 3);
        CHECK(sliderPositions(window) == named);
        window.dragSlider(window.parameterSlider(30), 5000);
        window.dragSlider(window.control(kGainSlider), 3333);
        own = sliderPositions(window);
    }
    ControlWindow window;
    CHECK_EQ(window.selection(kPresetList), 16);
    CHECK(sliderPositions(window) == own);
}
