// Real-time factor of the room reverb and the 3D placement: seconds of 44100
// Hz stereo audio processed per second of CPU, in 576-frame blocks (the
// "realtime" counter), and the time a reverb rebuild takes after a parameter
// change (the "rebuild_ms" counter of the Rebuild runs). The reverb rooms:
// the defaults (Size 2, RefC 0.85), "Large Hall" (Size 8, RefC 0.8) and the
// largest, Size 12 with RefC 0.99 (a response of about 3 million samples).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "bench/block_runner.h"
#include "effects/spatial/modal_reverb.h"
#include "effects/spatial/virtual_3d.h"
#include "registry/kernel_table_source.h"
#include "tests/support/test_signals.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 576;
constexpr int kBlocks = 64;

struct Room {
    const char* name;
    double values[5];
};
const Room kRooms[] = {
    {"defaults", {2.0, 0.85, 0.2, 0.3, 0.5}},
    {"Large Hall", {8.0, 0.8, 0.3, 0.35, 0.35}},
    {"Size 12, RefC 0.99", {12.0, 0.99, 0.2, 0.3, 0.5}},
};

void runBlocks(benchmark::State& state, EffectModule& module) {
    static const std::vector<double> source = testsignals::noise(kBlockFrames * kBlocks, kChannels, 20000.0, 3);
    bench::runBlocks(state, module, source, kChannels, kBlockFrames, kRate);
}

void BM_ModalReverb(benchmark::State& state) {
    const Room& room = kRooms[state.range(0)];
    ModalReverb reverb(kRate, kChannels);
    reverb.applyParameters(room.values);
    std::vector<double> block(kBlockFrames * kChannels, 0.0);
    reverb.process(block.data(), block.data(), kBlockFrames * kChannels, kBlockFrames * kChannels, 3);
    state.SetLabel(room.name);
    runBlocks(state, reverb);
}
BENCHMARK(BM_ModalReverb)->DenseRange(0, 2)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

// A parameter change and the block that rebuilds both ears' responses.
void BM_ModalReverbRebuild(benchmark::State& state) {
    const Room& room = kRooms[state.range(0)];
    ModalReverb reverb(kRate, kChannels);
    std::vector<double> block(kBlockFrames * kChannels, 0.0);
    double total = 0.0;
    for (auto _ : state) {
        reverb.applyParameters(room.values);
        const auto start = std::chrono::steady_clock::now();
        reverb.process(block.data(), block.data(), kBlockFrames * kChannels, kBlockFrames * kChannels, 3);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetLabel(room.name);
    state.counters["rebuild_ms"] = 1000.0 * total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ModalReverbRebuild)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Still at "Left", and moving (Both 0.3: new kernels at every block).
void BM_Virtual3D(benchmark::State& state) {
    std::unique_ptr<EffectModule> module = buildVirtual3D(platformKernelTable(), static_cast<int>(kRate), kChannels);
    const double values[] = {-80.0, 0.0, state.range(0) ? 0.3 : 0.0};
    module->applyParameters(values);
    state.SetLabel(state.range(0) ? "moving" : "still");
    runBlocks(state, *module);
}
BENCHMARK(BM_Virtual3D)->DenseRange(0, 1);

}  // namespace

BENCHMARK_MAIN();
