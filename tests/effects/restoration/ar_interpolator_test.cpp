#include "effects/restoration/ar_interpolator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/restoration/burg_model.h"
#include "effects/restoration/quad_lanes.h"
#include "tests/support/test_signals.h"

namespace {

// A sine obeys x[n] - 2 cos(w) x[n-1] + x[n-2] = 0 exactly: with that
// filter (padded with zeros to order 50) every residual of the true signal
// is zero, so the least-squares fill is the sine itself.
TEST(ArInterpolator, RestoresGapWithExactModel) {
    const int order = 50;
    const double w = 2 * testsignals::kPi * 700.0 / 44100.0;
    std::vector<double> a(order + 1, 0.0);
    a[0] = 1.0;
    a[1] = -2.0 * std::cos(w);
    a[2] = 1.0;
    const std::vector<double> clean = testsignals::sine(600, 1, 44100.0, 700.0, 8000.0, 0.4);
    ArInterpolator interpolator(200, order);
    for (int gap : {1, 7, 60, 200}) {
        std::vector<double> x = clean;
        const int start = 150;
        const int end = start + gap - 1;
        for (int n = start; n <= end; ++n) x[n] = 12345.0;
        ASSERT_TRUE(interpolator.interpolate(x.data(), start, end, a.data())) << "gap " << gap;
        double worst = 0.0;
        for (int n = 0; n < 600; ++n) worst = std::max(worst, std::fabs(x[n] - clean[n]));
        EXPECT_LT(worst, 1e-4) << "gap " << gap;
    }
    // The same filter given at its own order to storage for higher orders:
    // only a[0..2] exist, and only they may be read.
    const std::vector<double> shortFilter(a.begin(), a.begin() + 3);
    ArInterpolator wide(200, 100);
    std::vector<double> x = clean;
    for (int n = 150; n < 190; ++n) x[n] = 12345.0;
    ASSERT_TRUE(wide.interpolate(x.data(), 150, 189, shortFilter.data(), 2));
    for (int n = 0; n < 600; ++n) ASSERT_NEAR(x[n], clean[n], 1e-4) << "sample " << n;
}

#ifdef MORV_QUAD_LANES
// The four-lane sums fill every gap with the same bits as the two-lane ones:
// gap lengths that leave whole blocks of sixteen and four outputs and the
// single ones after them, under a model of a noisy tone.
TEST(ArInterpolator, FourLaneFillEqualsTwoLane) {
    if (!quadLanesEnabled()) GTEST_SKIP() << "no AVX";
    std::vector<double> signal = testsignals::sine(800, 1, 44100.0, 440.0, 8000.0);
    const std::vector<double> noise = testsignals::noise(800, 1, 500.0, 3);
    for (int n = 0; n < 800; ++n) signal[n] += noise[n];
    const int order = 50;
    std::vector<double> a(order + 1);
    BurgWork work;
    ASSERT_TRUE(BurgModel(signal.data(), 800, order, a.data(), work).complete);
    ArInterpolator interpolator(200, order);
    for (int gap : {1, 3, 6, 19, 37, 200}) {
        std::vector<double> quad = signal, pair = signal;
        ASSERT_TRUE(interpolator.interpolate(quad.data(), 300, 299 + gap, a.data()));
        quadLanesEnabled() = false;
        const bool solved = interpolator.interpolate(pair.data(), 300, 299 + gap, a.data());
        quadLanesEnabled() = true;
        ASSERT_TRUE(solved);
        EXPECT_EQ(quad, pair) << "gap " << gap;
    }
}
#endif

TEST(ArInterpolator, RefusesGapsBeyondItsStorage) {
    std::vector<double> a(51, 0.0);
    a[0] = 1.0;
    a[1] = -0.9;
    std::vector<double> x(600, 1.0);
    ArInterpolator interpolator(100, 50);
    EXPECT_FALSE(interpolator.interpolate(x.data(), 150, 250, a.data()));  // 101 samples
    for (double v : x) ASSERT_EQ(v, 1.0);
    EXPECT_TRUE(interpolator.interpolate(x.data(), 150, 249, a.data()));
}

// Music decoded from a lossy file is band-limited: a model of high order
// learns that its top octaves are empty, and its inverse amplifies anything
// there by 100 dB and more. A faint disturbance in the known sample beside
// the gap (the edge of a burst that the detector left out) then swings the
// whole fill, unless a floor lifts the model's empty bands.
TEST(ArInterpolator, AFlooredModelKeepsAFaintDisturbanceBesideTheGapOutOfTheFill) {
    const int length = 4000, order = 200, start = 2000, gap = 30;
    std::vector<double> clean(length, 0.0);
    for (int p = 0; p < 40; ++p) {
        const double frequency = 50.0 * std::pow(300.0, (p + 0.5) / 40.0);
        const std::vector<double> partial =
            testsignals::sine(length, 1, 44100.0, frequency, 50000.0 / frequency, 0.9 * p);
        for (int i = 0; i < length; ++i) clean[i] += partial[i];
    }
    const double rms = testsignals::rms(clean);
    for (double disturbance : {0.0, 1e-3, 1e-2}) {
        std::vector<double> x = clean;
        x[start - 1] += disturbance * rms;
        std::vector<double> a(order + 1), scratch(3 * (order + 1));
        BurgWork work;
        const SampleRun runs[] = {{start - 1500, 1500}, {start + gap, 1500}};
        BurgModel(x.data(), runs, 2, order, a.data(), work);
        addWhiteFloor(a.data(), order, 3e-7, scratch.data());
        ArInterpolator interpolator(64, order);
        ASSERT_TRUE(interpolator.interpolate(x.data(), start, start + gap - 1, a.data(), order));
        for (int i = start; i < start + gap; ++i) x[i] -= clean[i];
        EXPECT_LT(testsignals::rms(x, start, 1, start + gap), 0.15 * rms) << "disturbance " << disturbance;
    }
}

}  // namespace
