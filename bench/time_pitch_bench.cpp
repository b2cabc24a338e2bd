// Real-time factor of the time and pitch modules: seconds of 44100 Hz stereo
// input processed per second of CPU, in 576-frame blocks with the pipeline's
// output capacity. The "realtime" counter is that factor. BM_LibresampleAlone
// is the converters' own cost on the same blocks (two converters fed float
// planes, room for all they give): the resampler adds its conversion to and
// from floats, interleaving and queueing on top of it.
#include <benchmark/benchmark.h>
#include <libresample.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bench/block_runner.h"
#include "effects/timepitch/pitch_scaler.h"
#include "effects/timepitch/resampler.h"
#include "effects/timepitch/tempo_scaler.h"
#include "tests/support/test_signals.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 576;
constexpr int kBlocks = 64;  // a different stretch of the signal for each block of a run

// Two tones and noise: the lag search and the phase vocoder see music-like
// content rather than a single line.
std::vector<double> programme() {
    const int frames = kBlockFrames * kBlocks;
    std::vector<double> x = testsignals::noise(frames, kChannels, 1500.0, 3);
    const std::vector<double> a = testsignals::sine(frames, kChannels, kRate, 220.0, 6000.0);
    const std::vector<double> b = testsignals::sine(frames, kChannels, kRate, 1318.0, 3000.0);
    for (size_t i = 0; i < x.size(); ++i) x[i] += a[i] + b[i];
    return x;
}

void reportRealtime(benchmark::State& state) {
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlockFrames / kRate, benchmark::Counter::kIsRate);
}

// The first blocks apply the parameter (the resampler reopens its
// converters) and fill the frames; they are not timed.
void runBlocks(benchmark::State& state, EffectModule& module, double parameter) {
    module.setParameters(&parameter);
    static const std::vector<double> source = programme();
    bench::runBlocks(state, module, source, kChannels, kBlockFrames, kRate, kBlocks * kBlockFrames);
}

// Parameter values: the presets' 0.4 and -0.4, and the pitch extremes.
void BM_Resampler(benchmark::State& state) {
    Resampler resampler(kChannels);
    runBlocks(state, resampler, state.range(0) / 10.0);
}
BENCHMARK(BM_Resampler)->Arg(4)->Arg(-4);

void BM_LibresampleAlone(benchmark::State& state) {
    const double factor = std::pow(2.0, state.range(0) / 10.0);
    void* converters[kChannels];
    for (void*& c : converters) c = resample_open(1, factor, factor);
    const std::vector<double> source = programme();
    std::vector<float> planes(static_cast<size_t>(kBlocks) * kBlockFrames * kChannels);
    for (int c = 0; c < kChannels; ++c)
        for (int i = 0; i < kBlockFrames * kBlocks; ++i)
            planes[static_cast<size_t>(c) * kBlockFrames * kBlocks + i] = static_cast<float>(source[2 * i + c]);
    std::vector<float> out(4 * kBlockFrames);
    int next = 0;
    auto processNext = [&] {
        for (int c = 0; c < kChannels; ++c) {
            int used = 0;
            float* in = planes.data() + static_cast<size_t>(c) * kBlockFrames * kBlocks + next * kBlockFrames;
            resample_process(converters[c], factor, in, kBlockFrames, 0, &used, out.data(),
                             static_cast<int>(out.size()));
            benchmark::DoNotOptimize(out.data());
        }
        next = (next + 1) % kBlocks;
    };
    for (int b = 0; b < kBlocks; ++b) processNext();
    for (auto _ : state) processNext();
    for (void* c : converters) resample_close(c);
    reportRealtime(state);
}
BENCHMARK(BM_LibresampleAlone)->Arg(4)->Arg(-4);

void BM_TempoScaler(benchmark::State& state) {
    TempoScaler tempo(kRate, kChannels);
    runBlocks(state, tempo, state.range(0) / 10.0);
}
BENCHMARK(BM_TempoScaler)->Arg(4)->Arg(-4)->Arg(-13);

void BM_PitchScaler(benchmark::State& state) {
    PitchScaler pitch(kRate, kChannels);
    runBlocks(state, pitch, state.range(0) / 10.0);
}
BENCHMARK(BM_PitchScaler)->Arg(10)->Arg(-10)->Arg(4);

}  // namespace

BENCHMARK_MAIN();
