// Audio through the library as the player sends it: ModifySamples on an audio
// thread of its own while the window thread pumps messages.

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "tests/wine/player.h"
#include "tests/wine/wine_check.h"

namespace {

const int kRate = 44100;

// A deterministic full-range test signal: a sweep plus noise, touching both
// extremes of the 16-bit range.
std::vector<short> stereoBlock16(int frames, unsigned seed) {
    std::vector<short> samples(static_cast<size_t>(frames) * 2);
    unsigned x = seed;
    for (size_t i = 0; i < samples.size(); ++i) {
        x = x * 214013u + 2531011u;
        samples[i] = static_cast<short>(x >> 16);
    }
    if (frames > 2) {
        samples[0] = -32768;
        samples[3] = 32767;
    }
    return samples;
}

// Forgets the stored settings on construction: a member placed before the
// library, which reads them as it attaches.
struct FreshSettings {
    FreshSettings() { clearStoredSettings(); }
};

struct ActivePlugin {
    PlayerWindow player{"Winamp v1.x", 0x5666};
    // "Level Tuning", whatever module an earlier case left stored.
    FreshSettings fresh;
    PluginLibrary library;
    winampDSPModule* module = nullptr;
    HWND dialog = nullptr;

    explicit ActivePlugin(bool init = true) {
        module = library.module(player.handle());
        if (module && init) module->Init(module);
        pumpMessages(20);
        dialog = findControlDialog();
    }
    ~ActivePlugin() {
        if (module) module->Quit(module);
    }
    int process(void* samples, int frames, int bps, int channels, int rate = kRate) {
        return processOnAudioThread(module, samples, frames, bps, channels, rate);
    }
};

RECT childRect(HWND dialog, int id) {
    RECT rect = {};
    HWND child = GetDlgItem(dialog, id);
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Shows a meter control with a client area of exactly 9 x height pixels.
void prepareMeter(HWND dialog, int id, int x, int height) {
    HWND meter = GetDlgItem(dialog, id);
    RECT window, client;
    SetWindowPos(meter, nullptr, x, 1, 9, height, SWP_NOZORDER | SWP_SHOWWINDOW);
    GetWindowRect(meter, &window);
    GetClientRect(meter, &client);
    int borderX = (window.right - window.left) - client.right;
    int borderY = (window.bottom - window.top) - client.bottom;
    SetWindowPos(meter, nullptr, x, 1, 9 + borderX, height + borderY, SWP_NOZORDER | SWP_SHOWWINDOW);
    UpdateWindow(meter);
}

// The colour of meter row y (counted from the bottom) of a meter control.
COLORREF meterRow(HWND dialog, int id, int row) {
    HWND meter = GetDlgItem(dialog, id);
    RECT client;
    GetClientRect(meter, &client);
    HDC dc = GetDC(meter);
    COLORREF colour = GetPixel(dc, client.right / 2, client.bottom - row - 1);
    ReleaseDC(meter, dc);
    return colour;
}

const COLORREF kBackground = RGB(49, 52, 82);

struct UnpumpedWork {
    std::function<void()> run;
};

DWORD WINAPI unpumpedThreadMain(void* work) {
    static_cast<UnpumpedWork*>(work)->run();
    return 0;
}

// Runs work on another thread while this one waits without pumping messages.
bool runWithoutPumping(const std::function<void()>& work) {
    UnpumpedWork job{work};
    HANDLE thread = CreateThread(nullptr, 0, unpumpedThreadMain, &job, 0, nullptr);
    bool finished = WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return finished;
}

}  // namespace

WINE_CASE(level_tuning_16bit_stereo_is_bit_identical) {
    ActivePlugin plugin;
    for (int frames : {1152, 1152, 576, 17, 1, 0, 1152}) {
        std::vector<short> block = stereoBlock16(frames, 1000u + frames);
        std::vector<short> original = block;
        block.resize(block.size() * 2 + 2, 0x5a5a);  // the player's room for double length
        CHECK_EQ(plugin.process(block.data(), frames, 16, 2), frames);
        CHECK(std::memcmp(block.data(), original.data(), original.size() * sizeof(short)) == 0);
        CHECK_EQ(block[original.size()], 0x5a5a);
    }
}

WINE_CASE(processing_before_init) {
    // The module is built on the first block when the player never called Init.
    ActivePlugin plugin(false);
    std::vector<short> block = stereoBlock16(1152, 7);
    std::vector<short> original = block;
    CHECK_EQ(plugin.process(block.data(), 1152, 16, 2), 1152);
    CHECK(block == original);
}

WINE_CASE(mono_and_rate_changes_pass_through) {
    ActivePlugin plugin;
    const int kRates[] = {44100, 48000, 22050, 48000};
    const int kChannels[] = {2, 1, 2, 6};
    for (int round = 0; round < 4; ++round) {
        int channels = kChannels[round];
        std::vector<short> block(1152 * channels);
        unsigned x = 99u + round;
        for (short& s : block) s = static_cast<short>((x = x * 214013u + 2531011u) >> 16);
        std::vector<short> original = block;
        CHECK_EQ(plugin.process(block.data(), 1152, 16, channels, kRates[round]), 1152);
        CHECK(block == original);
    }
}

WINE_CASE(eight_bit_blocks_keep_their_offset) {
    ActivePlugin plugin;
    std::vector<unsigned char> block(2 * 300);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 7);
    block[0] = 0;
    block[1] = 255;
    block[2] = 128;
    block[3] = 127;
    std::vector<unsigned char> original = block;
    CHECK_EQ(plugin.process(block.data(), 300, 8, 2), 300);
    CHECK(block == original);
}

WINE_CASE(twenty_four_bit_packed_blocks) {
    ActivePlugin plugin;
    const int frames = 500;
    std::vector<unsigned char> block(frames * 2 * 3 + 16, 0xa5);
    unsigned x = 5;
    for (int i = 0; i < frames * 2; ++i) {
        x = x * 214013u + 2531011u;
        int value = static_cast<int>(x << 8) >> 8;  // signed 24-bit
        if (i == 0) value = -8388608;
        if (i == 1) value = 8388607;
        block[i * 3] = static_cast<unsigned char>(value);
        block[i * 3 + 1] = static_cast<unsigned char>(value >> 8);
        block[i * 3 + 2] = static_cast<unsigned char>(value >> 16);
    }
    std::vector<unsigned char> original = block;
    CHECK_EQ(plugin.process(block.data(), frames, 24, 2), frames);
    CHECK(block == original);  // samples and the bytes after them
}

WINE_CASE(thirty_two_bit_blocks) {
    ActivePlugin plugin;
    std::vector<int32_t> block(2 * 400);
    unsigned x = 11;
    for (int32_t& s : block) s = static_cast<int32_t>(x = x * 214013u + 2531011u);
    block[0] = INT32_MIN;
    block[1] = INT32_MAX;
    std::vector<int32_t> original = block;
    CHECK_EQ(plugin.process(block.data(), 400, 32, 2), 400);
    CHECK(block == original);
}

WINE_CASE(unsupported_width_comes_back_untouched) {
    ActivePlugin plugin;
    for (int bps : {12, 0, 20, 64}) {
        std::vector<unsigned char> block(4000);
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 13 + bps);
        std::vector<unsigned char> original = block;
        CHECK_EQ(plugin.process(block.data(), 300, bps, 2), 300);
        CHECK(block == original);
    }
}

WINE_CASE(channel_change_lays_out_channel_buttons) {
    ActivePlugin plugin;
    CHECK(plugin.dialog != nullptr);
    if (!plugin.dialog) return;
    RECT client;
    GetClientRect(plugin.dialog, &client);
    const int h = client.bottom;
    HWND left = GetDlgItem(plugin.dialog, 1003);
    HWND right = GetDlgItem(plugin.dialog, 1007);
    HWND pass = GetDlgItem(plugin.dialog, 1008);

    std::vector<short> stereo = stereoBlock16(256, 3);
    plugin.process(stereo.data(), 256, 16, 2);
    std::vector<short> mono(256, 100);
    SendMessageA(pass, BM_SETCHECK, BST_CHECKED, 0);
    CHECK_EQ(plugin.process(mono.data(), 256, 16, 1), 256);
    CHECK(!IsWindowVisible(left));
    CHECK(!IsWindowVisible(right));
    CHECK(IsWindowVisible(pass));
    CHECK_EQ(SendMessageA(pass, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    RECT passRect = childRect(plugin.dialog, 1008);
    CHECK_EQ(passRect.left, 25);
    CHECK_EQ(passRect.top, h - 23);
    CHECK_EQ(passRect.right - passRect.left, 60);
    CHECK_EQ(passRect.bottom - passRect.top, 18);

    // Back to stereo: L and R at their places with the label font, both on.
    CHECK_EQ(plugin.process(stereo.data(), 256, 16, 2), 256);
    CHECK(IsWindowVisible(left));
    CHECK(IsWindowVisible(right));
    CHECK(!IsWindowVisible(pass));
    CHECK_EQ(SendMessageA(left, BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ(SendMessageA(right, BM_GETCHECK, 0, 0), BST_CHECKED);
    RECT leftRect = childRect(plugin.dialog, 1003);
    RECT rightRect = childRect(plugin.dialog, 1007);
    CHECK_EQ(leftRect.left, 25);
    CHECK_EQ(leftRect.top, h - 23);
    CHECK_EQ(leftRect.right - leftRect.left, 30);
    CHECK_EQ(leftRect.bottom - leftRect.top, 18);
    CHECK_EQ(rightRect.left, 55);
    CHECK_EQ(rightRect.top, h - 23);
    CHECK_EQ(rightRect.right - rightRect.left, 30);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(left, WM_GETFONT, 0, 0));
    LOGFONTA logical = {};
    CHECK(font != nullptr && GetObjectA(font, sizeof logical, &logical) > 0);
    CHECK_TEXT(std::string(logical.lfFaceName), "Microsoft Sans Serif");
    CHECK_EQ(logical.lfHeight, 14);
    CHECK_EQ(logical.lfWidth, 6);
    CHECK_EQ(logical.lfWeight, 400);
    CHECK_EQ(logical.lfCharSet, ANSI_CHARSET);
    // The rest of the font comes from the stock fixed-pitch ANSI font.
    LOGFONTA stock = {};
    GetObjectA(GetStockObject(ANSI_FIXED_FONT), sizeof stock, &stock);
    CHECK_EQ(logical.lfPitchAndFamily, stock.lfPitchAndFamily);
    CHECK_EQ(logical.lfOutPrecision, stock.lfOutPrecision);
    CHECK_EQ(logical.lfQuality, stock.lfQuality);
    CHECK(reinterpret_cast<HFONT>(SendMessageA(right, WM_GETFONT, 0, 0)) == font);
}

WINE_CASE(channel_change_without_dialog) {
    ActivePlugin plugin(false);
    std::vector<short> mono(1152, -123);
    std::vector<short> original = mono;
    CHECK_EQ(plugin.process(mono.data(), 1152, 16, 1), 1152);
    CHECK(mono == original);
}

WINE_CASE(meters_paint_rows_from_the_last_level) {
    ActivePlugin plugin;
    CHECK(plugin.dialog != nullptr);
    if (!plugin.dialog) return;
    prepareMeter(plugin.dialog, 1005, 0, 100);
    prepareMeter(plugin.dialog, 1006, 10, 100);
    pumpMessages(50);
    CHECK_EQ(meterRow(plugin.dialog, 1005, 0), kBackground);

    // The whole sequence runs without pumping, so that the dialog's timer
    // cannot reset the last levels between two blocks.
    bool finished = runWithoutPumping([&] {
    // Left at full scale (level 100), right silent (level 0).
    std::vector<short> block(2 * 512, 0);
    block[10] = -32768;
    CHECK_EQ(plugin.module->ModifySamples(plugin.module, block.data(), 512, 16, 2, kRate), 512);
    // Height 100: knee at row 75; rows below it run from dark to bright
    // green, rows above it from green to red.
    CHECK_EQ(meterRow(plugin.dialog, 1005, 0), RGB(0, 80, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 50), RGB(10, 196, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 74), RGB(15, 252, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 75), RGB(16, 255, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 99), RGB(245, 25, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1006, 0), kBackground);

    // Left falls to -20 dB (level 80): the rows above 80 are erased.
    std::vector<short> quieter(2 * 512, 0);
    quieter[20] = 3277;
    quieter[21] = 32767;  // right rises to level 99
    CHECK_EQ(plugin.module->ModifySamples(plugin.module, quieter.data(), 512, 16, 2, kRate), 512);
    CHECK_EQ(meterRow(plugin.dialog, 1005, 79), RGB(54, 216, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 80), kBackground);
    CHECK_EQ(meterRow(plugin.dialog, 1005, 99), kBackground);
    CHECK_EQ(meterRow(plugin.dialog, 1006, 98), RGB(235, 35, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1006, 99), kBackground);
    });
    CHECK(finished);
}

WINE_CASE(eight_bit_meters_measure_from_the_offset) {
    ActivePlugin plugin;
    CHECK(plugin.dialog != nullptr);
    if (!plugin.dialog) return;
    prepareMeter(plugin.dialog, 1005, 0, 100);
    prepareMeter(plugin.dialog, 1006, 10, 100);
    pumpMessages(50);
    bool finished = runWithoutPumping([&] {
        // 8-bit silence is the byte 128: both meters stay empty.
        std::vector<unsigned char> silence(2 * 400, 128);
        CHECK_EQ(plugin.module->ModifySamples(plugin.module, reinterpret_cast<short*>(silence.data()), 400, 8, 2, kRate), 400);
        CHECK_EQ(meterRow(plugin.dialog, 1005, 0), kBackground);
        CHECK_EQ(meterRow(plugin.dialog, 1006, 0), kBackground);
        // The byte 0 is full scale (-128): the left meter fills.
        std::vector<unsigned char> peak(2 * 400, 128);
        peak[4] = 0;
        CHECK_EQ(plugin.module->ModifySamples(plugin.module, reinterpret_cast<short*>(peak.data()), 400, 8, 2, kRate), 400);
        CHECK_EQ(meterRow(plugin.dialog, 1005, 99), RGB(245, 25, 16));
        CHECK_EQ(meterRow(plugin.dialog, 1006, 0), kBackground);
    });
    CHECK(finished);
}

WINE_CASE(meters_are_erased_after_a_second_without_audio) {
    ActivePlugin plugin;
    CHECK(plugin.dialog != nullptr);
    if (!plugin.dialog) return;
    prepareMeter(plugin.dialog, 1005, 0, 100);
    prepareMeter(plugin.dialog, 1006, 10, 100);
    std::vector<short> block(2 * 512, 0);
    block[10] = -32768;
    block[11] = -32768;
    plugin.process(block.data(), 512, 16, 2);
    CHECK_EQ(meterRow(plugin.dialog, 1005, 10), RGB(2, 103, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1006, 10), RGB(2, 103, 16));

    // Two ticks without a block: the first raises the reset flag, the second
    // erases both meters.
    pumpMessages(2300);
    CHECK_EQ(meterRow(plugin.dialog, 1005, 10), kBackground);
    CHECK_EQ(meterRow(plugin.dialog, 1006, 10), kBackground);

    // The next block paints from the bottom again, although its level equals
    // the last one painted.
    CHECK(runWithoutPumping([&] { plugin.module->ModifySamples(plugin.module, block.data(), 512, 16, 2, kRate); }));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 10), RGB(2, 103, 16));
    CHECK_EQ(meterRow(plugin.dialog, 1005, 99), RGB(245, 25, 16));
}

namespace {

// Runs a block of the given frames through the plug-in whose work buffer
// cannot be allocated, answers the error box and checks it.
void expectAllocationFailureBox(ActivePlugin& plugin, int frames) {
    // The samples are reserved address space only: any touch would crash.
    void* samples = VirtualAlloc(nullptr, static_cast<SIZE_T>(frames) * 2 * 2, MEM_RESERVE, PAGE_NOACCESS);
    CHECK(samples != nullptr);
    if (!samples) return;
    int result = 0;
    int boxes = 0;
    HWND answered = nullptr;
    std::string text;
    HWND owner = nullptr;
    bool finished = runOnAudioThread(
        [&] { result = plugin.module->ModifySamples(plugin.module, static_cast<short*>(samples), frames, 16, 2, kRate); },
        [&] {
            HWND box = FindWindowA("#32770", "Error");
            if (!box || box == answered) return;
            answered = box;
            ++boxes;
            owner = GetWindow(box, GW_OWNER);
            char buffer[128] = {};
            for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                GetWindowTextA(child, buffer, sizeof buffer);
                if (std::strcmp(buffer, "Memory allocation failed") == 0) text = buffer;
            }
            SendMessageA(box, WM_COMMAND, IDOK, 0);
        });
    CHECK(finished);
    CHECK_EQ(boxes, 1);
    CHECK_TEXT(text, "Memory allocation failed");
    CHECK(owner == plugin.player.handle());
    CHECK_EQ(result, frames);
    VirtualFree(samples, 0, MEM_RELEASE);
}

}  // namespace

WINE_CASE(allocation_failure_shows_error_box) {
    ActivePlugin plugin;
    // Three doubles per sample need 2.09 GB: more than a 32-bit process has.
    expectAllocationFailureBox(plugin, 43 * 1000 * 1000);
    // Here the size itself no longer fits a 32-bit address.
    expectAllocationFailureBox(plugin, 100 * 1000 * 1000);

    // The next ordinary block is processed normally.
    std::vector<short> block = stereoBlock16(1152, 77);
    std::vector<short> original = block;
    CHECK_EQ(plugin.process(block.data(), 1152, 16, 2), 1152);
    CHECK(block == original);
}

WINE_CASE(window_calls_while_audio_runs) {
    // The player's window thread opens, closes and reopens the window and
    // re-activates the plug-in while its audio thread keeps sending blocks.
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    volatile LONG stop = 0;
    volatile LONG blocks = 0;
    volatile LONG mismatches = 0;
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    int round = 0;
    bool finished = runOnAudioThread(
        [&] {
            unsigned seed = 1;
            int channels = 2;
            while (!stop) {
                int frames = (seed % 3 == 0) ? 37 : 1152;
                std::vector<short> block = stereoBlock16(frames, seed);
                if (seed % 50 == 0) channels = 3 - channels;  // stereo <-> mono
                std::vector<short> original = block;
                int produced = module->ModifySamples(module, block.data(), frames * 2 / channels, 16, channels, kRate);
                if (produced != frames * 2 / channels || block != original) InterlockedIncrement(&mismatches);
                InterlockedIncrement(&blocks);
                SetEvent(started);
                ++seed;
            }
        },
        [&] {
            if (WaitForSingleObject(started, 0) != WAIT_OBJECT_0) return;
            switch (round++ % 5) {
                case 0: module->Init(module); break;
                case 1: module->Config(module); break;
                case 2: if (HWND dialog = findControlDialog()) SendMessageA(dialog, WM_CLOSE, 0, 0); break;
                case 3: module->Config(module); break;
                case 4: module->Quit(module); break;
            }
            if (round >= 60) InterlockedExchange(&stop, 1);
        },
        60000);
    CHECK(finished);
    CHECK(blocks > 60);
    CHECK_EQ(mismatches, 0);
    CloseHandle(started);
    module->Quit(module);
    CHECK(player.currentProcedure() == player.ownProcedure());
}
