#include "effects/timepitch/spectrum_resampling.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kBins = 41;

// Magnitude 100 + k and advance k / 2 in bin k. The arrays hold exactly the
// bins: a read past the top one is a read past the allocation, which the
// memory checkers report.
struct Spectra {
    explicit Spectra(int bins = kBins)
        : bins(bins), magnitude(bins), advance(bins), newMagnitude(bins), newAdvance(bins) {
        for (int k = 0; k < bins; ++k) {
            magnitude[k] = 100.0 + k;
            advance[k] = 0.5 * k;
        }
    }
    void run(double factor) {
        resampleSpectrum(magnitude.data(), advance.data(), bins, factor, newMagnitude.data(), newAdvance.data());
    }
    int bins;
    std::vector<double> magnitude, advance, newMagnitude, newAdvance;
};

TEST(SpectrumResampling, FactorOneCopiesTheInnerBins) {
    Spectra s;
    s.run(1.0);
    EXPECT_EQ(s.newMagnitude[0], 0.0);
    EXPECT_EQ(s.newMagnitude[kBins - 1], 0.0);
    for (int k = 1; k < kBins - 1; ++k) {
        ASSERT_EQ(s.newMagnitude[k], s.magnitude[k]) << k;
        ASSERT_EQ(s.newAdvance[k], s.advance[k]) << k;
    }
}

TEST(SpectrumResampling, UpwardTheLowestBinsLeanOnBinZero) {
    Spectra s;
    s.run(3.0);
    // Output bin 1 sits a third of the way from source bin 0 to bin 1.
    EXPECT_NEAR(s.newMagnitude[1], 2.0 / 3.0 * 100.0 + 1.0 / 3.0 * 101.0, 1e-12);
    EXPECT_NEAR(s.newAdvance[1], (1.0 / 3.0 * 0.5) * 3.0, 1e-12);
    EXPECT_NEAR(s.newMagnitude[2], 1.0 / 3.0 * 100.0 + 2.0 / 3.0 * 101.0, 1e-12);
    EXPECT_NEAR(s.newMagnitude[3], 101.0, 1e-12);
    // The top output bin reaches source position 13: nothing near the top is read.
    EXPECT_NEAR(s.newMagnitude[kBins - 2], s.magnitude[(kBins - 2) / 3], 1e-12);
}

TEST(SpectrumResampling, DownwardTheTopSourceBinIsFadedAndNothingAboveItSounds) {
    Spectra s(46);
    s.run(1.0 / 3.0);
    // Output bin k reads source 3 k. Bin 14 interpolates 42 and 43; bin 15
    // lands on the top source bin 45: a tenth of it with its advance scaled,
    // and bins 14 and 13 faded by 0.5 and 0.9; from bin 16 on all is silent.
    EXPECT_NEAR(s.newMagnitude[15], 0.1 * 145.0, 1e-12);
    EXPECT_NEAR(s.newAdvance[15], 22.5 / 3.0, 1e-12);
    EXPECT_NEAR(s.newMagnitude[14], 0.5 * 142.0, 1e-12);
    EXPECT_NEAR(s.newMagnitude[13], 0.9 * 139.0, 1e-12);
    EXPECT_NEAR(s.newMagnitude[12], 136.0, 1e-12);
    for (int k = 16; k < 46; ++k) ASSERT_EQ(s.newMagnitude[k], 0.0) << k;
}

}  // namespace
