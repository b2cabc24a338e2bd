#include "effects/restoration/toeplitz_inverse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// First row of the correlation matrix of an AR(1) process with pole rho,
// plus a small diagonal load: well conditioned and positive definite.
std::vector<double> correlationRow(int n, double rho) {
    std::vector<double> r(n);
    for (int j = 0; j < n; ++j) r[j] = std::pow(rho, j) / 1.01;
    r[0] = 1.0;
    return r;
}

TEST(ToeplitzInverse, LevinsonFilterSolvesTheYuleWalkerSystem) {
    const int n = 12;
    const std::vector<double> r = correlationRow(n, 0.8);
    std::vector<double> a(n);
    double error = 0.0;
    ASSERT_TRUE(levinsonDurbin(r.data(), n, a.data(), &error));
    EXPECT_EQ(a[0], 1.0);
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += r[std::abs(i - k)] * a[k];
        EXPECT_NEAR(sum, i == 0 ? error : 0.0, 1e-12) << "row " << i;
    }
    EXPECT_GT(error, 0.0);
    EXPECT_LT(error, 1.0);
}

TEST(ToeplitzInverse, TrenchInverseTimesMatrixIsIdentity) {
    for (int n : {1, 2, 3, 7, 50, 200}) {
        const std::vector<double> r = correlationRow(n, 0.9);
        std::vector<double> a(n), scaled(2 * n);
        double error = 0.0;
        ASSERT_TRUE(levinsonDurbin(r.data(), n, a.data(), &error));
        const int stride = n + 3;  // rows wider than the matrix, as in a fixed-size store
        std::vector<double> inverse(static_cast<size_t>(n) * stride, -99.0);
        trenchInverse(a.data(), n, error, scaled.data(), inverse.data(), stride);
        double worst = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                double sum = 0.0;
                for (int k = 0; k < n; ++k) sum += inverse[i * stride + k] * r[std::abs(k - j)];
                worst = std::max(worst, std::fabs(sum - (i == j ? 1.0 : 0.0)));
            }
        EXPECT_LT(worst, 1e-9) << "n = " << n;
        for (int i = 0; i < n; ++i)
            for (int j = n; j < stride; ++j) EXPECT_EQ(inverse[i * stride + j], -99.0) << "padding touched";
    }
}

TEST(ToeplitzInverse, LevinsonRefusesMatrixThatIsNotPositiveDefinite) {
    // [[1, 1.2], [1.2, 1]] has a negative eigenvalue: |k| = 1.2.
    const double r[2] = {1.0, 1.2};
    double a[2], error;
    EXPECT_FALSE(levinsonDurbin(r, 2, a, &error));
    // Singular: all ones, reflection coefficient exactly -1.
    const double ones[3] = {1.0, 1.0, 1.0};
    double b[3];
    EXPECT_FALSE(levinsonDurbin(ones, 3, b, &error));
}

}  // namespace
