// The player's two threads at once: the audio thread streams blocks through
// the engine (now and then changing rate, channel count or width) while
// the control thread does, for a few seconds, everything the control window
// does. Built with ThreadSanitizer on its own, any data race is a report;
// in every build the output must stay finite and within the player's buffer.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "host/engine.h"
#include "tests/support/control_window_moves.h"

namespace {

constexpr auto kControlTime = std::chrono::seconds(3);
constexpr int kMaxFrames = 1152;

struct AudioCounts {
    std::atomic<long> blocks{0};
    std::atomic<long> badLengths{0};
    std::atomic<long> notFinite{0};
};

// The player's side: blocks of noise, mostly 16-bit stereo at 44100 Hz.
void streamBlocks(Engine& engine, const std::atomic<bool>& stop, AudioCounts& counts) {
    std::mt19937 random(7);
    std::vector<int32_t> host(2 * 2 * kMaxFrames);
    while (!stop) {
        const int frames = std::uniform_int_distribution<int>(0, kMaxFrames)(random);
        const int turn = static_cast<int>(random() % 64);
        const int rate = turn == 0 ? 48000 : turn == 1 ? 8000 : 44100;
        const int channels = turn == 2 ? 1 : 2;
        const int bps = turn == 3 ? 32 : 16;
        int16_t* samples16 = reinterpret_cast<int16_t*>(host.data());
        for (int i = 0; i < frames * channels; ++i) {
            const int v = static_cast<int>(random() % 60000) - 30000;
            if (bps == 16) samples16[i] = static_cast<int16_t>(v);
            else host[i] = v * 65536;
        }
        const int produced = engine.modifySamples(samples16, frames, bps, channels, rate);
        if (produced < 0 || produced > 2 * frames) ++counts.badLengths;
        // The work buffer belongs to the audio thread: it still holds what the
        // module produced, before gain and clamping.
        const double* out = engine.lastOutput();
        for (int i = 0; i < produced * channels && produced <= 2 * frames; ++i) {
            if (!std::isfinite(out[i])) {
                ++counts.notFinite;
                break;
            }
        }
        ++counts.blocks;
    }
}

// The window's side: one command after another, at random.
long driveControls(Engine& engine, std::vector<bool>& modulesPicked) {
    std::mt19937 random(11);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    long steps = 0;
    const auto end = std::chrono::steady_clock::now() + kControlTime;
    while (std::chrono::steady_clock::now() < end) {
        switch (below(10)) {
            case 0: {
                const int module = below(kSelectableModuleCount);
                controlwindow::pickModule(engine, module);
                modulesPicked[module] = true;
                break;
            }
            case 1: controlwindow::moveGain(engine, below(6001)); break;
            case 2: {
                int positions[kMaxParameters];
                for (int& p : positions) p = below(6001);
                controlwindow::moveParameters(engine, positions, kMaxParameters);
                break;
            }
            case 3: controlwindow::choosePresetEntry(engine, below(engine.presetCount() + 1)); break;
            case 4:
                controlwindow::pickModule(engine, kModuleDeNoise);
                modulesPicked[kModuleDeNoise] = true;
                controlwindow::pressSnapNoise(engine);
                break;
            case 5: controlwindow::setChannelButtons(engine, below(2), below(2)); break;
            case 6: controlwindow::setPass(engine, below(4) == 0); break;
            case 7: controlwindow::timerTick(engine); break;
            case 8: controlwindow::reopen(engine); break;
            default: controlwindow::layOutControls(engine); break;
        }
        ++steps;
        std::this_thread::sleep_for(std::chrono::microseconds(below(200)));
    }
    return steps;
}

TEST(ControlThreadStress, BlocksFlowWhileTheWindowChangesEverything) {
    Engine engine;
    std::atomic<bool> stop{false};
    AudioCounts counts;
    std::thread audio(streamBlocks, std::ref(engine), std::cref(stop), std::ref(counts));
    std::vector<bool> modulesPicked(kSelectableModuleCount, false);
    const long steps = driveControls(engine, modulesPicked);
    stop = true;
    audio.join();

    EXPECT_EQ(counts.badLengths, 0);
    EXPECT_EQ(counts.notFinite, 0);
    EXPECT_GT(counts.blocks, 100);
    EXPECT_GT(steps, 1000);
    for (int m = 0; m < kSelectableModuleCount; ++m) EXPECT_TRUE(modulesPicked[m]) << "module " << m;
}

}  // namespace
