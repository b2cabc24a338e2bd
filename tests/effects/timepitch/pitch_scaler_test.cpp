#include "effects/timepitch/pitch_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

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

TEST(PitchScaler, ShowsTheFactor) {
    PitchScaler p(kRate, 2);
    EXPECT_NEAR(p.displayValue(0, 0.4), 1.552, 1e-3);
    EXPECT_EQ(p.displayValue(1, 0.4), 0.4);
    setPitch(p, 1.0);
    EXPECT_NEAR(p.pitchFactor(), 3.0, 1e-14);
}

}  // namespace
