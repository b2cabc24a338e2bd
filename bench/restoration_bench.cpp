// Real-time factor of the restoration modules: seconds of 44100 Hz stereo
// audio processed per second of CPU, in 576-frame blocks. The "realtime"
// counter is that factor. The signal is a three-tone mix with steady noise
// at -30 dBFS; for DeClick it also carries a click every 0.1 s. DeNoise is
// timed once its noise profile is captured.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench/block_runner.h"
#include "effects/restoration/de_click.h"
#include "effects/restoration/de_hiss.h"
#include "effects/restoration/de_noise.h"
#include "tests/support/test_signals.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 576;
constexpr int kSourceFrames = 5 * 44100;

std::vector<double> noisyToneMix(bool withClicks) {
    // Uniform noise of amplitude 1796 has an RMS of 1037: -30 dBFS.
    std::vector<double> x = testsignals::noise(kSourceFrames, kChannels, 1796.0, 9);
    const double frequencies[] = {220.0, 554.0, 1318.0};
    for (double f : frequencies) {
        const std::vector<double> tone = testsignals::sine(kSourceFrames, kChannels, kRate, f, 4000.0);
        for (size_t i = 0; i < x.size(); ++i) x[i] += tone[i];
    }
    if (withClicks) {
        for (int frame = 2000; frame + 10 < kSourceFrames; frame += 4410)
            for (int j = 0; j < 1 + frame % 7; ++j)
                for (int c = 0; c < kChannels; ++c) x[static_cast<size_t>(frame + j) * kChannels + c] += 15000.0;
    }
    return x;
}

void runBlocks(benchmark::State& state, EffectModule& module, const std::vector<double>& source, int warmUpFrames) {
    bench::runBlocks(state, module, source, kChannels, kBlockFrames, kRate, warmUpFrames);
}

void BM_DeClick(benchmark::State& state) {
    DeClick declick(kRate, kChannels);
    runBlocks(state, declick, noisyToneMix(true), kBlockFrames);
}
BENCHMARK(BM_DeClick);

void BM_DeHiss(benchmark::State& state) {
    DeHiss dehiss(kRate, kChannels);
    runBlocks(state, dehiss, noisyToneMix(false), kBlockFrames);
}
BENCHMARK(BM_DeHiss);

void BM_DeNoise(benchmark::State& state) {
    DeNoise denoise(kRate, kChannels);
    const double values[] = {0.5, 0.2};
    denoise.setParameters(values);
    runBlocks(state, denoise, noisyToneMix(false), static_cast<int>(kRate));
}
BENCHMARK(BM_DeNoise);

}  // namespace

BENCHMARK_MAIN();
