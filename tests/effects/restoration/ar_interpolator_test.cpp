#include "effects/restoration/ar_interpolator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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

}  // namespace
