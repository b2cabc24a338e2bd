// Worst time of one 576-frame block at 44.1 kHz stereo through the engine
// while a slider is dragged: a control thread moves every parameter slider
// of a module from one end to the other in steps, as the control window
// does. Two modes: "immediate", where the next block prepares and installs a
// new design itself (the player and morv), and "worker", where a worker
// thread prepares designs outside the processing lock and the block only
// installs them. Prints one row per module: worst and median block time in
// each mode, in milliseconds.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "framework/slider_scale.h"
#include "host/engine.h"
#include "registry/module_registry.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 576;
constexpr int kDragSteps = 24;
constexpr auto kDragInterval = std::chrono::milliseconds(15);
// The audio thread runs faster than real time but leaves the lock free
// between blocks, as a player's thread does while it waits for the device.
constexpr auto kBlockGap = std::chrono::milliseconds(2);
constexpr auto kSettleLimit = std::chrono::seconds(30);
constexpr int kBlocksAfterSettling = 20;

using Clock = std::chrono::steady_clock;

struct Timing {
    double worstMs = 0.0;
    double medianMs = 0.0;
    double worstCpuMs = 0.0;  // the audio thread's own CPU time in its worst block
    int blocks = 0;
};

// CPU time of the calling thread: a block that waited for the lock or for a
// core on a busy machine shows a wall time above it.
double threadCpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

std::vector<int16_t> testSignal(int frames) {
    std::vector<int16_t> x(static_cast<size_t>(frames) * kChannels);
    unsigned seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 214013u + 2531011u;
        const double noise = static_cast<double>((seed >> 16) & 0x7fff) / 32768.0 - 0.5;
        x[2 * i] = static_cast<int16_t>(8000.0 * std::sin(2.0 * 3.141592653589793 * 440.0 * i / kRate) + 2000.0 * noise);
        x[2 * i + 1] =
            static_cast<int16_t>(6000.0 * std::sin(2.0 * 3.141592653589793 * 660.0 * i / kRate) - 2000.0 * noise);
    }
    return x;
}

Timing measure(int moduleIndex, bool worker, const std::vector<int16_t>& source) {
    Engine engine;
    engine.setStreamFormat(kRate, kChannels);
    engine.buildModule(moduleIndex, false);
    engine.setDesignWorker(worker);
    const int count = engine.parameterCount();

    std::atomic<bool> dragging{true};
    std::atomic<bool> stop{false};
    std::vector<double> times;
    double worstCpu = 0.0;

    std::thread control([&] {
        int positions[kMaxParameters] = {};
        for (int step = 0; step <= kDragSteps; ++step) {
            for (int k = 0; k < count; ++k) positions[k] = kSliderPositions * step / kDragSteps;
            engine.moveParameterSliders(positions, count);
            std::this_thread::sleep_for(kDragInterval);
        }
        dragging = false;
    });
    std::thread designer;
    if (worker) {
        designer = std::thread([&] {
            while (!stop) {
                if (!engine.prepareDesign()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }

    const int n = kBlockFrames * kChannels;
    const int sourceBlocks = static_cast<int>(source.size() / n);
    std::vector<int16_t> block(2 * static_cast<size_t>(n));
    const Clock::time_point start = Clock::now();
    int settledBlocks = 0;
    for (int b = 0; settledBlocks < kBlocksAfterSettling && Clock::now() - start < kSettleLimit; ++b) {
        const int16_t* from = source.data() + static_cast<size_t>(b % sourceBlocks) * n;
        std::copy(from, from + n, block.begin());
        const Clock::time_point t0 = Clock::now();
        const double cpu0 = threadCpuMs();
        engine.modifySamples(block.data(), kBlockFrames, 16, kChannels, kRate);
        worstCpu = std::max(worstCpu, threadCpuMs() - cpu0);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (!dragging && !engine.designWanted()) ++settledBlocks;
        std::this_thread::sleep_for(kBlockGap);
    }
    stop = true;
    control.join();
    if (designer.joinable()) designer.join();

    Timing timing;
    timing.blocks = static_cast<int>(times.size());
    timing.worstCpuMs = worstCpu;
    timing.worstMs = *std::max_element(times.begin(), times.end());
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    timing.medianMs = times[times.size() / 2];
    return timing;
}

// The longest time a prober waits for the processing lock (which is at
// least the longest hold by another thread) while change runs: it takes the
// lock over and over through a call that holds it only for a word's read.
template <typename Change>
double longestLockWaitMs(Engine& engine, Change change) {
    std::atomic<bool> stop{false};
    double longest = 0.0;
    std::thread prober([&] {
        while (!stop) {
            const Clock::time_point t0 = Clock::now();
            engine.parameterCount();
            longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
    });
    change();
    stop = true;
    prober.join();
    return longest;
}

// A module change to the reverb, and a format change with the reverb at its
// largest room, each followed by the block that uses the new module.
struct LockWaits {
    double moduleChange;
    double formatChange;
};

LockWaits lockWaits(bool worker) {
    constexpr int kReverb = 11;
    Engine engine;
    engine.setStreamFormat(kRate, kChannels);
    engine.buildModule(0, false);
    engine.setDesignWorker(worker);
    std::atomic<bool> stop{false};
    std::thread designer([&] {
        while (worker && !stop) {
            if (!engine.prepareDesign()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::vector<int16_t> block(4 * kBlockFrames, 0);
    const double change = longestLockWaitMs(engine, [&] {
        engine.selectModule(kReverb);
        engine.modifySamples(block.data(), kBlockFrames, 16, kChannels, kRate);
    });
    const double largest = 12.0;
    engine.setParameterValues(&largest, 1);
    while (engine.designWanted()) engine.modifySamples(block.data(), kBlockFrames, 16, kChannels, kRate);
    const double format = longestLockWaitMs(engine, [&] {
        engine.modifySamples(block.data(), kBlockFrames, 16, kChannels, 48000);
        while (engine.designWanted()) engine.modifySamples(block.data(), kBlockFrames, 16, kChannels, 48000);
    });
    stop = true;
    designer.join();
    return {change, format};
}

// The least of five runs: a wait that a busy machine's scheduler adds comes
// and goes, a hold that the code makes comes every time.
void printLockHolds(bool worker) {
    LockWaits least = lockWaits(worker);
    for (int run = 1; run < 5; ++run) {
        const LockWaits w = lockWaits(worker);
        least.moduleChange = std::min(least.moduleChange, w.moduleChange);
        least.formatChange = std::min(least.formatChange, w.formatChange);
    }
    std::printf("%s: longest processing-lock wait (least of 5 runs): module change to the reverb %.3f ms, "
                "format change with the reverb at Size 12 %.3f ms\n", worker ? "worker" : "immediate",
                least.moduleChange, least.formatChange);
}

}  // namespace

int main() {
    printLockHolds(false);
    printLockHolds(true);
    const std::vector<int16_t> source = testSignal(20 * kRate);
    const double blockMs = 1000.0 * kBlockFrames / kRate;
    std::printf("block of %d frames at %d Hz stereo: %.2f ms; aim for the worker mode: worst below %.2f ms\n",
                kBlockFrames, kRate, blockMs, blockMs / 4.0);
    std::printf("%-28s %12s %12s %12s %12s %12s %12s\n", "module", "immed worst", "immed median", "immed cpu",
                "worker worst", "worker med", "worker cpu");
    for (int m = 0; m < kSelectableModuleCount; ++m) {
        const Timing immediate = measure(m, false, source);
        const Timing worker = measure(m, true, source);
        // The name after its two-byte marker.
        std::printf("%2d %-25s %12.3f %12.3f %12.3f %12.3f %12.3f %12.3f\n", m, moduleRow(m).name + 2,
                    immediate.worstMs, immediate.medianMs, immediate.worstCpuMs, worker.worstMs, worker.medianMs,
                    worker.worstCpuMs);
        std::fflush(stdout);
    }
    return 0;
}
