#include "effects/timepitch/pitch_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/timepitch/spectrum_resampling.h"
#include "framework/portable_math.h"
#include "framework/real_fft.h"
#include "tests/effects/timepitch/time_pitch_stream.h"
#include "tests/support/test_signals.h"

namespace {

using timepitchtest::channel;
using timepitchtest::runBlocks;
using timepitchtest::toneFrequency;

constexpr double kRate = 44100.0;
constexpr int kBlock = 576;

void setPitch(PitchScaler& p, double pitch) {
    const double values[] = {pitch};
    p.setParameters(values);
}

TEST(PitchScaler, PitchZeroGivesTheInputBackToRounding) {
    // Noise fills every bin, the constant part and the half-rate one included.
    PitchScaler p(kRate, 2);
    const std::vector<double> input = testsignals::noise(2 * 44100, 2, 10000.0, 4);
    const timepitchtest::Stream s = runBlocks(p, input, 2);
    ASSERT_GT(s.output.size(), input.size() / 2);
    double worst = 0.0;
    for (size_t i = 0; i < s.output.size(); ++i) worst = std::max(worst, std::fabs(s.output[i] - input[i]));
    EXPECT_LT(worst, 1e-6);
}

TEST(PitchScaler, PitchOneTriplesAToneAndMinusOneThirdsItKeepingTheLength) {
    struct Case {
        double pitch, expected, tolerance;
    };
    for (const Case& k : {Case{1.0, 3000.0, 5.0}, Case{-1.0, 1000.0 / 3.0, 3.0}}) {
        PitchScaler p(kRate, 1);
        setPitch(p, k.pitch);
        const std::vector<double> input = testsignals::sine(100 * kBlock, 1, kRate, 1000.0, 8000.0);
        const timepitchtest::Stream s = runBlocks(p, input, 1);
        // Once the frame latency is filled every block comes back whole.
        for (size_t b = 10; b < s.produced.size(); ++b) ASSERT_EQ(s.produced[b], kBlock) << "block " << b;
        const std::vector<double> out(s.output.begin() + 4 * p.frameLength(), s.output.end());
        EXPECT_NEAR(toneFrequency(out, kRate), k.expected, k.tolerance) << "pitch " << k.pitch;
        EXPECT_GT(testsignals::rms(out), 0.3 * 8000.0 / std::sqrt(2.0)) << "pitch " << k.pitch;
    }
}

// The phase vocoder's frame worked through every bin, as plainly as it reads.
struct PlainVocoder {
    PlainVocoder(int n, int hop)
        : fft(n), bins(n / 2 + 1), expected(bins, 0.0), previous(bins, 0.0), phase(bins, 0.0), magnitude(bins),
          advance(bins), newMagnitude(bins), newAdvance(bins) {
        for (int k = 1; k < bins; ++k) expected[k] = expected[k - 1] + 2.0 * portable::kPi * hop / n;
    }
    void frame(double* x, double factor) {
        const int K = bins;
        fft.forward(x);
        magnitude[0] = std::fabs(x[0]);
        advance[0] = 0.0;
        magnitude[K - 1] = std::fabs(x[2 * K - 3]);
        advance[K - 1] = expected[K - 1];
        for (int k = 1; k < K - 1; ++k) {
            const double p = portable::angle(x[2 * k], x[2 * k - 1]);
            advance[k] = expected[k] + portable::wrapDeviation(p - previous[k] - expected[k]);
            previous[k] = p;
            magnitude[k] = std::sqrt(x[2 * k - 1] * x[2 * k - 1] + x[2 * k] * x[2 * k]);
        }
        std::fill(newMagnitude.begin(), newMagnitude.end(), 0.0);
        std::fill(newAdvance.begin(), newAdvance.end(), 0.0);
        resampleSpectrum(magnitude.data(), advance.data(), K, factor, newMagnitude.data(), newAdvance.data());
        for (int k = 1; k < K - 1; ++k) {
            phase[k] = portable::wrapTurns(phase[k] + newAdvance[k]);
            double s, c;
            portable::sinCos(phase[k], &s, &c);
            x[2 * k - 1] = newMagnitude[k] * c;
            x[2 * k] = newMagnitude[k] * s;
        }
        fft.inverse(x);
    }
    RealFft fft;
    int bins;
    std::vector<double> expected, previous, phase, magnitude, advance, newMagnitude, newAdvance;
};

struct FramePitchScaler : PitchScaler {
    using PitchScaler::PitchScaler;
    double* plane(int c) { return framePlane(c); }
};

// Only the bins the resampling reads are analysed and only those it writes
// rebuilt; through factor changes, silence and a channel left out now and
// then, or for all the frames of one factor (pitch 1 after 0.4: bins read
// before and after it but not by it), every frame must still come out bit for
// bit as the plain one.
TEST(PitchScaler, FramesEqualThePlainVocoderBitForBitThroughFactorChanges) {
    FramePitchScaler p(kRate, 2);
    const int N = p.frameLength(), kFrames = 56;
    PlainVocoder plain[] = {{N, p.hop()}, {N, p.hop()}};
    const std::vector<double> input = testsignals::noise(N * kFrames, 2, 1000.0, 7);
    const double pitches[] = {1.0, -1.0, 0.4, 1.0, -1.0, -0.3, 0.0};
    // Every eighth frame from the sixth on is silent.
    auto sample = [&](int f, int i, int c) {
        return f % 8 == 5 ? 0.0 : input[(static_cast<size_t>(f) * N + i) * 2 + c];
    };
    std::vector<double> expected(N);
    for (int f = 0; f < kFrames; ++f) {
        if (f % 8 == 0) setPitch(p, pitches[f / 8]);
        const int mask = f % 5 == 3 || f / 8 == 3 ? 1 : 3;
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < N; ++i) p.plane(c)[i] = sample(f, i, c);
        p.processFrame(mask);
        for (int c = 0; c < 2; ++c) {
            if (!channelSelected(c, mask)) continue;
            for (int i = 0; i < N; ++i) expected[i] = sample(f, i, c);
            plain[c].frame(expected.data(), p.pitchFactor());
            ASSERT_EQ(std::memcmp(expected.data(), p.plane(c), sizeof(double) * N), 0) << "frame " << f << ", " << c;
        }
    }
}

TEST(PitchScaler, ShowsTheFactor) {
    PitchScaler p(kRate, 2);
    EXPECT_NEAR(p.displayValue(0, 0.4), 1.552, 1e-3);
    EXPECT_EQ(p.displayValue(1, 0.4), 0.4);
    setPitch(p, 1.0);
    EXPECT_NEAR(p.pitchFactor(), 3.0, 1e-14);
}

}  // namespace
