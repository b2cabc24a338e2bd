#include "effects/eq/biquad_section.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kRate = 44100.0;
constexpr double kNyquist = kRate / 2.0;

// Runs a constant (0 Hz) or alternating (half the rate) input through the
// section until it settles and returns the output amplitude.
double settledGain(const BiquadSection& s, bool alternating) {
    BiquadState state;
    double y = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = alternating && (i % 2) ? -1.0 : 1.0;
        y = runSection(s, state, x);
    }
    return std::fabs(y);
}

TEST(BiquadSectionTest, LowShelfBoostsZeroHertzAndLeavesHalfRate) {
    const BiquadSection s = BiquadSection::lowShelf(200.0, kRate, 18.0);
    EXPECT_EQ(s.a0, 1.0);
    EXPECT_NEAR(s.magnitudeAt(0.0, kRate), std::pow(10.0, 0.9), 1e-9);
    EXPECT_NEAR(s.magnitudeAt(kNyquist, kRate), 1.0, 1e-9);
    EXPECT_NEAR(settledGain(s, false), std::pow(10.0, 0.9), 1e-9);
    EXPECT_NEAR(settledGain(s, true), 1.0, 1e-9);
}

TEST(BiquadSectionTest, HighShelfCutsHalfRateAndLeavesZeroHertz) {
    const BiquadSection s = BiquadSection::highShelf(8000.0, kRate, -18.0);
    EXPECT_EQ(s.a0, 1.0);
    EXPECT_NEAR(s.magnitudeAt(0.0, kRate), 1.0, 1e-9);
    EXPECT_NEAR(s.magnitudeAt(kNyquist, kRate), 0.125893, 1e-6);
    EXPECT_NEAR(settledGain(s, false), 1.0, 1e-9);
    EXPECT_NEAR(settledGain(s, true), 0.125893, 1e-6);
}

TEST(BiquadSectionTest, PeakingGainAtCentreIsTheBandGain) {
    for (double gainDb : {-18.0, -6.5, 3.0, 18.0}) {
        const BiquadSection s = BiquadSection::peaking(1000.0, kRate, 1.0, gainDb);
        EXPECT_NEAR(20.0 * std::log10(s.magnitudeAt(1000.0, kRate)), gainDb, 1e-9) << gainDb;
        // Far from the centre the section is flat.
        EXPECT_NEAR(s.magnitudeAt(0.0, kRate), 1.0, 1e-12);
        EXPECT_NEAR(s.magnitudeAt(kNyquist, kRate), 1.0, 1e-12);
    }
}

TEST(BiquadSectionTest, PeakingWidthFollowsTheOctaveBandwidth) {
    // A +18 dB section with 1 octave width is 9 dB (half its gain in dB,
    // the geometric mid-point) roughly half an octave either side of its centre.
    const BiquadSection s = BiquadSection::peaking(1000.0, kRate, 1.0, 18.0);
    const double lowEdge = 20.0 * std::log10(s.magnitudeAt(1000.0 / std::sqrt(2.0), kRate));
    const double highEdge = 20.0 * std::log10(s.magnitudeAt(1000.0 * std::sqrt(2.0), kRate));
    EXPECT_GT(lowEdge, 6.0);
    EXPECT_LT(lowEdge, 12.0);
    EXPECT_GT(highEdge, 6.0);
    EXPECT_LT(highEdge, 12.0);
}

TEST(BiquadSectionTest, QualityFactorOfEachFamily) {
    EXPECT_NEAR(BiquadSection::qualityFactor(2.661), 0.4723, 5e-5);
    EXPECT_NEAR(BiquadSection::qualityFactor(1.0), 1.4142, 5e-5);
    EXPECT_NEAR(BiquadSection::qualityFactor(2.0 / 3.0), 2.1449, 5e-5);
    EXPECT_NEAR(BiquadSection::qualityFactor(0.5), 2.8710, 5e-5);
    EXPECT_NEAR(BiquadSection::qualityFactor(1.0 / 3.0), 4.3185, 5e-5);
}

TEST(BiquadSectionTest, ZeroDecibelsIsAnExactIdentity) {
    const BiquadSection sections[] = {
        BiquadSection::lowShelf(31.0, kRate, 0.0),
        BiquadSection::peaking(1000.0, kRate, 1.0 / 3.0, 0.0),
        BiquadSection::highShelf(16000.0, kRate, 0.0),
    };
    for (const BiquadSection& s : sections) {
        EXPECT_EQ(s.b0, s.a0);
        EXPECT_EQ(s.b1, s.a1);
        EXPECT_EQ(s.b2, s.a2);
    }
}

TEST(BiquadSectionTest, TransposedDirectFormTwoRecurrence) {
    // y = b0 x + z1; z1 = b1 x + z2 - a1 y; z2 = b2 x - a2 y, on an impulse.
    BiquadSection s;
    s.b0 = 0.5;
    s.b1 = 0.25;
    s.b2 = 0.125;
    s.a1 = -0.5;
    s.a2 = 0.25;
    BiquadState state;
    EXPECT_DOUBLE_EQ(runSection(s, state, 1.0), 0.5);
    EXPECT_DOUBLE_EQ(state.z1, 0.25 + 0.5 * 0.5);
    EXPECT_DOUBLE_EQ(state.z2, 0.125 - 0.25 * 0.5);
    // The impulse response of (0.5 + 0.25/z + 0.125/z^2) / (1 - 0.5/z + 0.25/z^2)
    // continues 0.5, 0.25, 0.0.
    EXPECT_DOUBLE_EQ(runSection(s, state, 0.0), 0.5);
    EXPECT_DOUBLE_EQ(runSection(s, state, 0.0), 0.25);
    EXPECT_DOUBLE_EQ(runSection(s, state, 0.0), 0.0);
}

}  // namespace
