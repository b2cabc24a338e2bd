// Engines are independent objects: two in one process, each on its own
// thread with its own module and stream format, give exactly what each gives
// alone.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "host/engine.h"
#include "registry/module_registry.h"

namespace {

struct Stream {
    int module;
    int preset;
    int rate;
    int channels;
    int blockFrames;
};

// A second of a chirp with a little noise, as 16-bit samples, through a new
// engine in the player's blocks (a buffer with room for twice the block).
std::vector<int16_t> render(const Stream& s) {
    Engine engine;
    engine.setStreamFormat(s.rate, s.channels);
    engine.buildModule(s.module, false);
    engine.setChannelMask(s.channels == 1 ? 1 : 3);
    if (s.preset >= 0) engine.applyPreset(s.preset, nullptr);
    std::vector<int16_t> out;
    std::vector<int16_t> block(2 * static_cast<size_t>(s.blockFrames) * s.channels);
    uint32_t seed = 5;
    for (int start = 0; start < s.rate; start += s.blockFrames) {
        for (int f = 0; f < s.blockFrames; ++f) {
            const double t = static_cast<double>(start + f) / s.rate;
            for (int c = 0; c < s.channels; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const double noise = static_cast<double>(seed >> 20) - 2048.0;
                block[static_cast<size_t>(f) * s.channels + c] =
                    static_cast<int16_t>(9000.0 * std::sin(6.283 * (200.0 + 3000.0 * t) * t) + noise);
            }
        }
        const int got = engine.modifySamples(block.data(), s.blockFrames, 16, s.channels, s.rate);
        out.insert(out.end(), block.begin(), block.begin() + static_cast<size_t>(got) * s.channels);
    }
    return out;
}

TEST(Engine, TwoEnginesOnTwoThreadsGiveWhatEachGivesAlone) {
    const Stream eq{kModuleFirstEqualizer + 1, 2, 44100, 2, 576};
    const Stream pitch{kModulePitchScaler, 1, 22050, 1, 300};
    const std::vector<int16_t> eqAlone = render(eq);
    const std::vector<int16_t> pitchAlone = render(pitch);
    ASSERT_FALSE(eqAlone.empty());
    ASSERT_FALSE(pitchAlone.empty());

    std::vector<int16_t> eqTogether, pitchTogether;
    std::thread other([&] { pitchTogether = render(pitch); });
    eqTogether = render(eq);
    other.join();
    EXPECT_EQ(eqTogether, eqAlone);
    EXPECT_EQ(pitchTogether, pitchAlone);
}

// The control side of one engine (module changes, presets, gain) leaves the
// other's output alone, even while both run.
TEST(Engine, CommandsOnOneEngineLeaveTheOtherAlone) {
    const Stream hiss{kModuleDeHiss, -1, 48000, 2, 441};
    const std::vector<int16_t> alone = render(hiss);
    Engine busy;
    std::vector<int16_t> together;
    std::thread audio([&] { together = render(hiss); });
    for (int round = 0; round < 40; ++round) {
        busy.selectModule(round % kSelectableModuleCount);
        busy.applyPreset(0, nullptr);
        busy.moveGainSlider(round * 100);
        busy.setChannelMask(round % 4);
        int16_t block[2 * 2 * 64] = {};
        busy.modifySamples(block, 64, 16, 2, 32000);
    }
    audio.join();
    EXPECT_EQ(together, alone);
}

// Every lock take is a kernel round trip under some hosts: a block takes it
// once, whatever the module, once the module is built.
TEST(Engine, ABlockTakesTheProcessingLockOnce) {
    for (int module : {kModuleLevelTuning, kModuleFirstEqualizer, kModuleTempoScaler}) {
        Engine engine;
        engine.buildModule(module, false);
        int16_t block[2 * 2 * 576] = {};
        engine.modifySamples(block, 576, 16, 2, 44100);
        const long before = engine.lockTakes();
        engine.modifySamples(block, 576, 16, 2, 44100);
        EXPECT_EQ(engine.lockTakes() - before, 1) << module;
    }
}

}  // namespace
