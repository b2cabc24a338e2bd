#include "effects/restoration/burg_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/test_signals.h"

namespace {

// x[n] = 1.6 x[n-1] - 0.9 x[n-2] + e[n]: prediction-error filter (1, -1.6, 0.9).
std::vector<double> ar2Process(int length) {
    const std::vector<double> excitation = testsignals::noise(length, 1, 1000.0, 7);
    std::vector<double> x(length, 0.0);
    for (int n = 0; n < length; ++n) {
        x[n] = excitation[n];
        if (n >= 1) x[n] += 1.6 * x[n - 1];
        if (n >= 2) x[n] -= 0.9 * x[n - 2];
    }
    return x;
}

TEST(BurgModel, RecoversSecondOrderProcess) {
    const std::vector<double> x = ar2Process(400000);
    BurgWork work(16);  // grows to the input length
    double a[3];
    const BurgResult result = BurgModel(x.data(), static_cast<int>(x.size()), 2, a, work);
    EXPECT_TRUE(result.complete);
    EXPECT_GE(work.capacity(), static_cast<int>(x.size()));
    EXPECT_DOUBLE_EQ(a[0], 1.0);
    EXPECT_NEAR(a[1], -1.6, 1e-3);
    EXPECT_NEAR(a[2], 0.9, 1e-3);
    // Theoretical normalised error of this process: (1 - k1^2)(1 - k2^2),
    // k2 = 0.9, k1 = -1.6 / 1.9.
    const double k1 = -1.6 / 1.9;
    EXPECT_NEAR(result.error, (1 - k1 * k1) * (1 - 0.81), 2e-3);
}

TEST(BurgModel, HigherOrderModelOfSecondOrderProcessHasNegligibleExtraTerms) {
    const std::vector<double> x = ar2Process(200000);
    BurgWork work;
    std::vector<double> a(11);
    ASSERT_TRUE(BurgModel(x.data(), static_cast<int>(x.size()), 10, a.data(), work).complete);
    // Estimation spread of 200000 samples is a few thousandths.
    EXPECT_NEAR(a[1], -1.6, 0.015);
    EXPECT_NEAR(a[2], 0.9, 0.015);
    for (int i = 3; i <= 10; ++i) EXPECT_NEAR(a[i], 0.0, 0.015) << "coefficient " << i;
}

TEST(BurgModel, PureSineIsPredictedByTwoCoefficients) {
    // sin(w n) satisfies x[n] = 2 cos(w) x[n-1] - x[n-2] exactly.
    const double w = 2 * testsignals::kPi * 441.0 / 44100.0;
    const std::vector<double> x = testsignals::sine(2000, 1, 44100.0, 441.0, 10000.0);
    BurgWork work;
    double a[3];
    const BurgResult result = BurgModel(x.data(), 2000, 2, a, work);
    EXPECT_NEAR(a[1], -2.0 * std::cos(w), 1e-5);
    EXPECT_NEAR(a[2], 1.0, 1e-4);
    EXPECT_LT(result.error, 1e-6);
}

TEST(BurgModel, SilenceStopsEarlyWithIdentityFilter) {
    const std::vector<double> x(500, 0.0);
    BurgWork work;
    std::vector<double> a(51, 7.0);
    const BurgResult result = BurgModel(x.data(), 500, 50, a.data(), work);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.error, 1.0);
    EXPECT_EQ(a[0], 1.0);
    for (int i = 1; i <= 50; ++i) EXPECT_EQ(a[i], 0.0);
}

TEST(BurgModel, EarlyStopKeepsCoefficientsFoundSoFar) {
    // A constant is exhausted by the first reflection (k = -1): the error
    // energy is then exactly zero and the order-1 model survives the stop.
    const std::vector<double> x(300, 5.0);
    BurgWork work;
    std::vector<double> a(51, 3.0);
    const BurgResult result = BurgModel(x.data(), 300, 50, a.data(), work);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.error, 0.0);
    EXPECT_EQ(a[0], 1.0);
    EXPECT_EQ(a[1], -1.0);
    for (int i = 2; i <= 50; ++i) EXPECT_EQ(a[i], 0.0);
}

TEST(BurgModel, StretchesAroundAnExcludedDisturbanceGiveTheModelOfTheSignal) {
    std::vector<double> x = ar2Process(4000);
    for (int n = 1900; n < 2000; ++n) x[n] += 200000.0 * ((n % 7) - 3);
    BurgWork work;
    double whole[3], around[3], single[3], plain[3];
    BurgModel(x.data(), 4000, 2, whole, work);
    const SampleRun runs[] = {{0, 1900}, {2000, 2000}};
    ASSERT_TRUE(BurgModel(x.data(), runs, 2, 2, around, work).complete);
    // The disturbance ruins the model of the whole; left out, it does not
    // count, and no prediction reaches across it.
    EXPECT_GT(std::fabs(whole[2] - 0.9), 0.3);
    EXPECT_NEAR(around[1], -1.6, 0.03);
    EXPECT_NEAR(around[2], 0.9, 0.03);
    // One stretch is the plain estimate, to the bit.
    const SampleRun all = {0, 4000};
    BurgModel(x.data(), &all, 1, 2, single, work);
    BurgModel(x.data(), 4000, 2, plain, work);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(single[i], plain[i]);
}

TEST(BurgModel, InputPredictedToRoundingEndsTheModelComplete) {
    // An exact sine needs two coefficients (a few, from 600 samples); the
    // orders after those would only fit the rounding, with coefficients of
    // any size.
    const std::vector<double> x = testsignals::sine(600, 1, 44100.0, 150.0, 8000.0);
    BurgWork work;
    std::vector<double> a(51);
    const BurgResult result = BurgModel(x.data(), 600, 50, a.data(), work);
    EXPECT_TRUE(result.complete);
    for (int i = 5; i <= 50; ++i) EXPECT_EQ(a[i], 0.0) << "coefficient " << i;
}

}  // namespace
