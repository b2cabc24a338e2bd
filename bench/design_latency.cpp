// Worst time of one 576-frame block at 44.1 kHz stereo while a slider is
// dragged: a control thread moves every parameter of a module from its end
// to its other end in steps, under the lock the audio thread processes under.
// Two modes: "immediate", where process prepares and installs a new design
// itself (the player and morv), and "worker", where a worker thread prepares
// designs outside the lock and process only installs them. Prints one row
// per module: worst and median block time in each mode, in milliseconds.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/effect_module.h"
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
    int blocks = 0;
};

std::vector<double> testSignal(int frames) {
    std::vector<double> x(static_cast<size_t>(frames) * kChannels);
    unsigned seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 214013u + 2531011u;
        const double noise = static_cast<double>((seed >> 16) & 0x7fff) / 32768.0 - 0.5;
        x[2 * i] = 8000.0 * std::sin(2.0 * 3.141592653589793 * 440.0 * i / kRate) + 2000.0 * noise;
        x[2 * i + 1] = 6000.0 * std::sin(2.0 * 3.141592653589793 * 660.0 * i / kRate) - 2000.0 * noise;
    }
    return x;
}

Timing measure(int moduleIndex, bool worker, const std::vector<double>& source) {
    std::unique_ptr<EffectModule> module = createModule(moduleIndex, kRate, kChannels);
    if (!module) module = std::make_unique<EffectModule>(kPassThroughCapacity);
    module->setDeferredDesign(worker);
    ParamDescriptor descriptors[kMaxParameters];
    const int count = module->describeParameters(descriptors);

    std::mutex lock;
    std::atomic<bool> dragging{true};
    std::atomic<bool> stop{false};
    std::vector<double> times;

    std::thread control([&] {
        double values[kMaxParameters] = {};
        for (int step = 0; step <= kDragSteps; ++step) {
            for (int k = 0; k < count; ++k)
                values[k] = descriptors[k].max + (descriptors[k].min - descriptors[k].max) * step / kDragSteps;
            {
                std::lock_guard<std::mutex> guard(lock);
                module->applyParameters(values);
            }
            std::this_thread::sleep_for(kDragInterval);
        }
        dragging = false;
    });
    std::thread designer;
    if (worker) {
        designer = std::thread([&] {
            while (!stop) {
                bool taken;
                {
                    std::lock_guard<std::mutex> guard(lock);
                    taken = module->takeDesignRequest();
                }
                if (taken)
                    module->prepareDesign();
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }

    const int n = kBlockFrames * kChannels;
    const int sourceBlocks = static_cast<int>(source.size() / n);
    std::vector<double> block(2 * static_cast<size_t>(n));
    const Clock::time_point start = Clock::now();
    int settledBlocks = 0;
    for (int b = 0; settledBlocks < kBlocksAfterSettling && Clock::now() - start < kSettleLimit; ++b) {
        const double* from = source.data() + static_cast<size_t>(b % sourceBlocks) * n;
        std::copy(from, from + n, block.begin());
        bool settled;
        {
            std::lock_guard<std::mutex> guard(lock);
            const int capacity = std::min(n + module->extraOutput(), 2 * n);
            const Clock::time_point t0 = Clock::now();
            module->process(block.data(), block.data(), n, capacity, 3);
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            settled = !dragging && !module->redesignPending();
        }
        if (settled) ++settledBlocks;
        std::this_thread::sleep_for(kBlockGap);
    }
    stop = true;
    control.join();
    if (designer.joinable()) designer.join();

    Timing timing;
    timing.blocks = static_cast<int>(times.size());
    timing.worstMs = *std::max_element(times.begin(), times.end());
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    timing.medianMs = times[times.size() / 2];
    return timing;
}

}  // namespace

int main() {
    const std::vector<double> source = testSignal(20 * kRate);
    const double blockMs = 1000.0 * kBlockFrames / kRate;
    std::printf("block of %d frames at %d Hz stereo: %.2f ms; aim for the worker mode: worst below %.2f ms\n",
                kBlockFrames, kRate, blockMs, blockMs / 4.0);
    std::printf("%-28s %12s %12s %12s %12s %8s\n", "module", "immed worst", "immed median", "worker worst",
                "worker med", "blocks");
    for (int m = 0; m < kSelectableModuleCount; ++m) {
        const Timing immediate = measure(m, false, source);
        const Timing worker = measure(m, true, source);
        // The name after its two-byte marker.
        std::printf("%2d %-25s %12.3f %12.3f %12.3f %12.3f %8d\n", m, moduleRow(m).name + 2, immediate.worstMs,
                    immediate.medianMs, worker.worstMs, worker.medianMs, worker.blocks);
        std::fflush(stdout);
    }
    return 0;
}
