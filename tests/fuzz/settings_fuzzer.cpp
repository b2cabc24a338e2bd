// A stored settings value of any bytes (0 to 400; an empty one stands for a
// value that could not be read) through the load rule, the restore rules as
// the plug-in starts, the preset entry the window shows, a block of audio
// with the values that result, and a save. Starting again from the saved
// block must save the same block: settings never drift from run to run.
// Then a module change and a reopening, each followed by a block and a save.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/engine.h"
#include "tests/support/control_window_moves.h"

namespace {

// One engine for the whole process, reset between inputs.
Engine engine;

constexpr size_t kMaxStoredBytes = 400;
constexpr int kFrames = 576;

void check(bool condition) {
    if (!condition) std::abort();
}

// Init: the module of the loaded index with its defaults, then the stored
// settings applied as the dialog's layout applies them.
void startPlugin(const unsigned char* bytes, int length, bool readOk) {
    engine.reset();
    engine.loadSettings(bytes, length, readOk);
    engine.buildModule(engine.moduleIndex(), false);
    engine.setRestoreState(kRestoreLoaded);
    engine.restoreSettings();
}

void playBlock() {
    std::vector<int16_t> block(2 * 2 * kFrames);
    for (int i = 0; i < 2 * kFrames; ++i) block[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
    const int produced = engine.modifySamples(block.data(), kFrames, 16, 2, 44100);
    check(produced >= 0 && produced <= 2 * kFrames);
    const double* out = engine.lastOutput();
    for (int i = 0; i < 2 * produced; ++i) check(std::isfinite(out[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxStoredBytes) return 0;
    startPlugin(data, static_cast<int>(size), size > 0);
    controlwindow::choosePresetEntry(engine, engine.presetIndex());
    playBlock();
    unsigned char saved[kSettingsBytes];
    engine.saveSettings(saved);

    startPlugin(saved, kSettingsBytes, true);
    controlwindow::choosePresetEntry(engine, engine.presetIndex());
    unsigned char savedAgain[kSettingsBytes];
    engine.saveSettings(savedAgain);
    check(std::memcmp(saved, savedAgain, kSettingsBytes) == 0);

    controlwindow::pickModule(engine, size > 0 ? data[0] % kSelectableModuleCount : 0);
    playBlock();
    controlwindow::reopen(engine);
    playBlock();
    engine.saveSettings(saved);
    engine.reset();
    return 0;
}
