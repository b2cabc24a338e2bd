// Cost of the sample pipeline around a module: 576-frame 16-bit stereo blocks
// through the engine's pipeline with the pass-through module, beside the floor: a
// plain loop that converts to doubles, gains, clamps and converts back.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "host/engine.h"

namespace {

constexpr int kFrames = 576;
constexpr int kChannels = 2;
constexpr int kSamples = kFrames * kChannels;

// Noisy programme material: rounding and sign tests see both signs.
std::vector<int16_t> makeBlock() {
    std::vector<int16_t> block(2 * kSamples);
    uint32_t x = 1;
    for (int i = 0; i < kSamples; ++i) {
        x = x * 1664525u + 1013904223u;
        block[i] = static_cast<int16_t>(x >> 16);
    }
    return block;
}

void BM_PipelinePassThrough(benchmark::State& state) {
    Engine engine;
    engine.setGainDecibels(-1.0);
    const std::vector<int16_t> source = makeBlock();
    std::vector<int16_t> block = source;
    engine.modifySamples(block.data(), kFrames, 16, kChannels, 44100);
    for (auto _ : state) {
        block = source;
        benchmark::DoNotOptimize(engine.modifySamples(block.data(), kFrames, 16, kChannels, 44100));
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSamples,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PipelinePassThrough);

void BM_ConversionFloor(benchmark::State& state) {
    const std::vector<int16_t> source = makeBlock();
    std::vector<int16_t> block = source;
    std::vector<double> work(kSamples);
    const double gain = 0.9;
    for (auto _ : state) {
        block = source;
        for (int i = 0; i < kSamples; ++i) work[i] = block[i];
        benchmark::ClobberMemory();
        for (int i = 0; i < kSamples; ++i) {
            double x = work[i] * gain;
            x = x > -32768.0 ? x : -32768.0;
            x = x < 32767.0 ? x : 32767.0;
            block[i] = static_cast<int16_t>(static_cast<int>(x));
        }
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSamples,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConversionFloor);

}  // namespace

BENCHMARK_MAIN();
