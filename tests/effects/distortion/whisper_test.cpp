#include "effects/distortion/whisper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "framework/real_fft.h"
#include "tests/effects/restoration/stream_runner.h"
#include "tests/support/test_signals.h"

namespace {

using restorationtest::runStream;
using testsignals::kPi;

constexpr double kRate = 44100.0;
constexpr int kFrames = 44100;
// Past the start-up (a frame of 448 samples) and before the zero padding of the tail.
constexpr size_t kFrom = 2048, kTo = kFrames - 2048;

void setWet(Whisper& whisper, double wet) {
    const double values[] = {wet};
    whisper.setParameters(values);
}

// A vowel-like mono signal: harmonics of 140 Hz up to 5 kHz shaped by three
// formants, each harmonic with its own phase.
std::vector<double> vowel() {
    const double formants[][2] = {{700.0, 120.0}, {1200.0, 150.0}, {2600.0, 250.0}};
    std::vector<double> x(kFrames, 0.0);
    for (int h = 1; 140.0 * h < 5000.0; ++h) {
        const double f = 140.0 * h;
        double gain = 0.05;
        for (const auto& formant : formants) {
            const double d = (f - formant[0]) / formant[1];
            gain += 1.0 / (1.0 + d * d);
        }
        const double phase = 0.7 * h * h;
        for (int i = 0; i < kFrames; ++i) x[i] += 2000.0 * gain * std::sin(2 * kPi * f * i / kRate + phase);
    }
    return x;
}

// Mean power spectrum over the steady part: Hann-windowed frames of 4096
// samples with half overlap; bin k is k x 44100 / 4096 Hz.
std::vector<double> powerSpectrum(const std::vector<double>& x) {
    constexpr int n = 4096;
    RealFft fft(n);
    std::vector<double> power(n / 2, 0.0), frame(n);
    for (size_t start = kFrom; start + n <= kTo; start += n / 2) {
        for (int i = 0; i < n; ++i) frame[i] = x[start + i] * (0.5 - 0.5 * std::cos(2 * kPi * i / n));
        fft.forward(frame.data());
        for (int k = 1; k < n / 2; ++k) power[k] += frame[2 * k - 1] * frame[2 * k - 1] + frame[2 * k] * frame[2 * k];
    }
    return power;
}

int binOf(double frequency) { return static_cast<int>(frequency * 4096 / kRate); }

// Geometric over arithmetic mean of the power in [from, to) Hz: near 0 for
// separate harmonic peaks, near 1 for a flat spectrum.
double flatness(const std::vector<double>& power, double from, double to) {
    double logSum = 0.0, sum = 0.0;
    const int a = binOf(from), b = binOf(to);
    for (int k = a; k < b; ++k) {
        logSum += std::log(power[k] + 1e-30);
        sum += power[k];
    }
    return std::exp(logSum / (b - a)) / (sum / (b - a));
}

double bandDb(const std::vector<double>& power, double from, double to) {
    double sum = 0.0;
    for (int k = binOf(from); k < binOf(to); ++k) sum += power[k];
    return 10.0 * std::log10(sum);
}

TEST(Whisper, DryBlendReturnsTheInput) {
    Whisper whisper(kRate, 2);
    setWet(whisper, 0.0);
    const std::vector<double> input = testsignals::noise(kFrames, 2, 10000.0, 8);
    const std::vector<double> out = runStream(whisper, input, 2);
    for (size_t i = 2 * kFrom; i < 2 * kTo; ++i) ASSERT_NEAR(out[i], input[i], 1e-9) << "sample " << i;
}

TEST(Whisper, EveryNewModuleStartsTheSameSequence) {
    const std::vector<double> input = testsignals::noise(kFrames / 4, 2, 10000.0, 9);
    std::vector<double> first;
    {
        Whisper whisper(kRate, 2);
        first = runStream(whisper, input, 2);
    }
    Whisper second(kRate, 2);
    EXPECT_EQ(runStream(second, input, 2), first);
}

TEST(Whisper, ADryFrameDrawsAsManyNumbersAsAWetOne) {
    // Dry for the first part, wet after: once the frames of the dry part have
    // left the overlap, the output is that of a module wet all along.
    const std::vector<double> input = testsignals::noise(kFrames / 2, 1, 10000.0, 12);
    const size_t wetFrom = 64 * 112;
    Whisper wet(kRate, 1), switched(kRate, 1);
    const std::vector<double> expected = runStream(wet, input, 1, 3, 112);
    std::vector<double> out;
    for (size_t start = 0; start < input.size(); start += 112) {
        if (start == wetFrom) setWet(switched, 1.0);
        if (start == 0) setWet(switched, 0.0);
        std::vector<double> block(input.begin() + start, input.begin() + std::min(input.size(), start + 112));
        const int got = switched.process(block.data(), block.data(), static_cast<int>(block.size()),
                                         static_cast<int>(block.size()), 1);
        out.insert(out.end(), block.begin(), block.begin() + got);
    }
    ASSERT_GT(out.size(), wetFrom + 4096);
    for (size_t i = wetFrom; i < out.size(); ++i) ASSERT_EQ(out[i], expected[i]) << "sample " << i;
}

TEST(Whisper, KeepsTheSpectralEnvelopeAndLosesTheHarmonics) {
    const std::vector<double> input = vowel();
    Whisper whisper(kRate, 1);
    const std::vector<double> out = runStream(whisper, input, 1);
    const std::vector<double> before = powerSpectrum(input);
    const std::vector<double> after = powerSpectrum(out);

    // Per 400 Hz band (the frame resolves about that much: its window's main
    // lobe spans 4 bins of 98 Hz either side) the change is the overall one
    // within 3 dB.
    std::vector<double> change;
    double mean = 0.0;
    for (double f = 400.0; f + 400.0 <= 4800.0; f += 400.0) {
        change.push_back(bandDb(after, f, f + 400.0) - bandDb(before, f, f + 400.0));
        mean += change.back();
    }
    mean /= change.size();
    EXPECT_NEAR(mean, -6.0, 2.0) << "random phases summed over overlapping frames";
    for (size_t b = 0; b < change.size(); ++b) EXPECT_NEAR(change[b], mean, 3.0) << "band " << b;

    const double flatBefore = flatness(before, 280.0, 4760.0);
    const double flatAfter = flatness(after, 280.0, 4760.0);
    EXPECT_GT(flatAfter, 10.0 * flatBefore);

    // Silence stays silence.
    Whisper quiet(kRate, 1);
    for (double v : runStream(quiet, std::vector<double>(kFrames / 4, 0.0), 1)) ASSERT_EQ(v, 0.0);
}

TEST(Whisper, MaskOneWhispersTheLeftAloneAndDrawsForItAlone) {
    const std::vector<double> left = vowel();
    const std::vector<double> right = testsignals::noise(kFrames, 1, 5000.0, 2);
    std::vector<double> input(2 * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        input[2 * i] = left[i];
        input[2 * i + 1] = right[i];
    }
    Whisper stereo(kRate, 2), mono(kRate, 1);
    const std::vector<double> out = runStream(stereo, input, 2, 1);
    const std::vector<double> alone = runStream(mono, left, 1);
    for (size_t i = 0; i < kTo; ++i) {
        ASSERT_EQ(out[2 * i], alone[i]) << "the left draws the sequence a mono module draws";
        ASSERT_EQ(out[2 * i + 1], right[i]) << "the right comes out as it went in";
    }
    EXPECT_GT(testsignals::rms(alone, kFrom, 1, kTo), 0.25 * testsignals::rms(left, kFrom, 1, kTo));
}

}  // namespace
