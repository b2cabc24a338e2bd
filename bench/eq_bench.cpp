// Real-time factor of the graphic equalisers and the vibrato: seconds of
// 44100 Hz stereo audio processed per second of CPU, in 576-frame blocks.
// The "realtime" counter is that factor.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/block_runner.h"
#include "effects/distortion/vibrato.h"
#include "effects/eq/graphic_equalizer.h"
#include "registry/module_registry.h"
#include "tests/support/test_signals.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 576;
constexpr int kBlocks = 64;  // a different stretch of noise for each block of a run

void runBlocks(benchmark::State& state, EffectModule& module) {
    static const std::vector<double> source = testsignals::noise(kBlockFrames * kBlocks, kChannels, 20000.0, 3);
    bench::runBlocks(state, module, source, kChannels, kBlockFrames, kRate);
}

void BM_GraphicEqualizer(benchmark::State& state) {
    const EqBandTable& table = *eqBandTableFor(static_cast<int>(state.range(0)));
    GraphicEqualizer eq(kRate, kChannels, table);
    std::vector<double> gains(kMaxParameters, 0.0);
    for (int b = 0; b < table.bandCount; ++b) gains[b] = (b % 2) ? -6.0 : 6.0;
    eq.setParameters(gains.data());
    state.SetLabel(std::to_string(table.bandCount) + " bands");
    runBlocks(state, eq);
}
BENCHMARK(BM_GraphicEqualizer)->DenseRange(kModuleFirstEqualizer, kModuleLastEqualizer);

// The 31-band equaliser in silence after 100 s of silence that followed
// noise: the point where decaying filter states would be subnormal numbers.
void BM_GraphicEqualizerInLongSilence(benchmark::State& state) {
    GraphicEqualizer eq(kRate, kChannels, *eqBandTableFor(kModuleLastEqualizer));
    std::vector<double> gains(kMaxParameters, 0.0);
    for (int b = 0; b < 31; ++b) gains[b] = (b % 2) ? -6.0 : 6.0;
    eq.setParameters(gains.data());
    std::vector<double> noise = testsignals::noise(kBlockFrames, kChannels, 20000.0, 5);
    std::vector<double> block(noise.size());
    const int blocksPerSecond = static_cast<int>(kRate) / kBlockFrames;
    for (int i = 0; i < blocksPerSecond; ++i) eq.process(noise.data(), block.data(), kBlockFrames * kChannels, kBlockFrames * kChannels, 3);
    const std::vector<double> silence(noise.size(), 0.0);
    for (int i = 0; i < 100 * blocksPerSecond; ++i)
        eq.process(silence.data(), block.data(), kBlockFrames * kChannels, kBlockFrames * kChannels, 3);
    for (auto _ : state) {
        eq.process(silence.data(), block.data(), kBlockFrames * kChannels, kBlockFrames * kChannels, 3);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlockFrames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GraphicEqualizerInLongSilence);

void BM_Vibrato(benchmark::State& state) {
    Vibrato vibrato(kRate, kChannels);
    runBlocks(state, vibrato);
}
BENCHMARK(BM_Vibrato);

}  // namespace

BENCHMARK_MAIN();
