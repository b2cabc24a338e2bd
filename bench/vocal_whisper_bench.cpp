// Real-time factor of the vocal removers and the whisper: seconds of 44100 Hz
// stereo audio processed per second of CPU, in 576-frame blocks (the
// "realtime" counter). The signal is a centre harmonic voice with different
// tones and noise on each side. Beside each module runs the computation it
// replaces, which gives the same output to rounding:
//  - DeVocalMono: three forward and two inverse transforms per frame instead
//    of one transform of the band-limited sum each way;
//  - Whisper: the C library's arc tangent, cosine and sine on every bin
//    instead of the portable sine and cosine of the random angle alone (wet),
//    or the portable arc tangent, sine and cosine (blend).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/block_runner.h"
#include "effects/distortion/whisper.h"
#include "effects/spatial/de_vocal_mono.h"
#include "effects/spatial/de_vocal_stereo.h"
#include "framework/module_random.h"
#include "framework/real_fft.h"
#include "tests/effects/spatial/de_vocal_mono_literal.h"
#include "tests/support/test_signals.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kChannels = 2;
constexpr int kBlockFrames = 576;
constexpr int kSourceFrames = 5 * 44100;

std::vector<double> voiceAndSides() {
    std::vector<double> x = testsignals::noise(kSourceFrames, kChannels, 800.0, 4);
    for (int h = 1; h <= 20; ++h) {
        const std::vector<double> voice = testsignals::sine(kSourceFrames, kChannels, kRate, 180.0 * h, 3000.0 / h);
        for (size_t i = 0; i < x.size(); ++i) x[i] += voice[i];
    }
    const std::vector<double> left = testsignals::sine(kSourceFrames, 1, kRate, 330.0, 4000.0);
    const std::vector<double> right = testsignals::sine(kSourceFrames, 1, kRate, 2470.0, 2000.0);
    for (int i = 0; i < kSourceFrames; ++i) {
        x[2 * i] += left[i];
        x[2 * i + 1] += right[i];
    }
    return x;
}

// A second of warm-up: the queues take their size and the latency settles.
void runBlocks(benchmark::State& state, EffectModule& module) {
    static const std::vector<double> source = voiceAndSides();
    bench::runBlocks(state, module, source, kChannels, kBlockFrames, kRate, static_cast<int>(kRate));
}

// The per-bin computation as first written down: magnitude, arc tangent,
// blended phase, cosine and sine, with the C library's functions.
class LibraryTrigWhisper : public Whisper {
public:
    LibraryTrigWhisper() : Whisper(kRate, kChannels), fft_(frameLength()), random_(kSeed) {}

    void processFrame(int /*channelMask*/) override {
        const int last = frameLength() / 2 - 1;
        for (int c = 0; c < channelCount(); ++c) {
            double* x = framePlane(c);
            fft_.forward(x);
            for (int k = 1; k <= last; ++k) {
                const double re = x[2 * k - 1], im = x[2 * k];
                const double magnitude = std::sqrt(re * re + im * im);
                const double own = re == 0.0 && im == 0.0 ? 0.0 : std::atan2(im, re);
                const double phase = (random_.next() * 0.00019175345033660654 - 3.14159265358979323846) * wet() +
                                     (1.0 - wet()) * own;
                x[2 * k - 1] = magnitude * std::cos(phase);
                x[2 * k] = magnitude * std::sin(phase);
            }
            fft_.inverse(x);
        }
    }

private:
    RealFft fft_;
    ModuleRandom random_;
};

void BM_DeVocalMono(benchmark::State& state) {
    DeVocalMono devocal(kRate, kChannels);
    const double values[] = {200.0, 10000.0, 0.0};
    devocal.setParameters(values);
    runBlocks(state, devocal);
}
BENCHMARK(BM_DeVocalMono);

void BM_DeVocalMonoThreeTransforms(benchmark::State& state) {
    spatialtest::LiteralDeVocalMono devocal(kRate, kChannels);
    const double values[] = {200.0, 10000.0, 0.0};
    devocal.setParameters(values);
    runBlocks(state, devocal);
}
BENCHMARK(BM_DeVocalMonoThreeTransforms);

void BM_DeVocalStereo(benchmark::State& state) {
    DeVocalStereo devocal(kRate, kChannels);
    const double values[] = {0.0, -1.0, 150.0, 16000.0};
    devocal.setParameters(values);
    runBlocks(state, devocal);
}
BENCHMARK(BM_DeVocalStereo);

template <class Module>
void whisperAt(benchmark::State& state, double wet) {
    Module whisper;
    const double values[] = {wet};
    whisper.setParameters(values);
    runBlocks(state, whisper);
}

struct PortableWhisper : Whisper {
    PortableWhisper() : Whisper(kRate, kChannels) {}
};

void BM_Whisper(benchmark::State& state) { whisperAt<PortableWhisper>(state, 1.0); }
BENCHMARK(BM_Whisper);

void BM_WhisperLibraryTrig(benchmark::State& state) { whisperAt<LibraryTrigWhisper>(state, 1.0); }
BENCHMARK(BM_WhisperLibraryTrig);

void BM_WhisperHalfWet(benchmark::State& state) { whisperAt<PortableWhisper>(state, 0.5); }
BENCHMARK(BM_WhisperHalfWet);

void BM_WhisperHalfWetLibraryTrig(benchmark::State& state) { whisperAt<LibraryTrigWhisper>(state, 0.5); }
BENCHMARK(BM_WhisperHalfWetLibraryTrig);

}  // namespace

BENCHMARK_MAIN();
