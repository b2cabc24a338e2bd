// Packed-spectrum bin access, checked against a direct DFT and against the
// time signal that a single written bin gives through RealFft.
#include "framework/packed_spectrum.h"

#include <cmath>
#include <complex>
#include <vector>

#include <gtest/gtest.h>

#include "framework/real_fft.h"
#include "tests/support/test_signals.h"

namespace {

std::complex<double> directDft(const std::vector<double>& x, int k) {
    std::complex<double> sum = 0.0;
    const int n = static_cast<int>(x.size());
    for (int i = 0; i < n; ++i) sum += x[i] * std::polar(1.0, -2.0 * testsignals::kPi * k * i / n);
    return sum;
}

}  // namespace

TEST(PackedSpectrum, EveryBinReadsAsTheDirectTransform) {
    for (int n : {2, 12, 30}) {
        SCOPED_TRACE(n);
        const std::vector<double> x = testsignals::noise(n, 1, 1000.0, 7);
        std::vector<double> spectrum = x;
        RealFft fft(n);
        fft.forward(spectrum.data());
        ASSERT_EQ(packedBinCount(n), n / 2 + 1);

        std::vector<int> visited;
        forEachBin(static_cast<const double*>(spectrum.data()), n, [&](int k, auto bin) {
            visited.push_back(k);
            const std::complex<double> expected = directDft(x, k);
            EXPECT_NEAR(std::abs(bin.value() - expected), 0.0, 1e-9) << "bin " << k;
            EXPECT_EQ(bin.value(), binValue(spectrum.data(), n, k));
            EXPECT_NEAR(bin.magnitude(), std::abs(expected), 1e-9);
            EXPECT_NEAR(bin.power(), std::norm(expected), 1e-6);
        });
        std::vector<int> all;
        for (int k = 0; k <= n / 2; ++k) all.push_back(k);
        EXPECT_EQ(visited, all);

        int inner = 0;
        forEachComplexBin(spectrum.data(), n, [&](int k, ComplexBin<double> bin) {
            EXPECT_EQ(k, ++inner);
            EXPECT_NEAR(bin.phase(), std::arg(directDft(x, k)), 1e-9);
        });
        EXPECT_EQ(inner, n / 2 - 1);
    }
}

// A spectrum holding only bin k gives (2/N) Re(c e^{2 pi i k n / N}) for an
// inner bin, and Re(c) cos(2 pi k n / N) / N for bins 0 and N/2.
TEST(PackedSpectrum, AWrittenBinGivesItsSinusoid) {
    const int n = 12;
    RealFft fft(n);
    const std::complex<double> c = std::polar(30.0, 0.7);
    for (int k = 0; k <= n / 2; ++k) {
        SCOPED_TRACE(k);
        std::vector<double> spectrum(n, 0.0);
        setBinValue(spectrum.data(), n, k, c);
        fft.inverse(spectrum.data());
        const bool real = k == 0 || k == n / 2;
        for (int i = 0; i < n; ++i) {
            const std::complex<double> turn = std::polar(1.0, 2.0 * testsignals::kPi * k * i / n);
            const double expected = real ? c.real() * turn.real() / n : 2.0 * (c * turn).real() / n;
            ASSERT_NEAR(spectrum[i], expected, 1e-12) << "sample " << i;
        }
    }
    std::vector<double> spectrum(n, 0.0);
    complexBin(spectrum.data(), 2).setPolar(std::abs(c), std::arg(c));
    EXPECT_NEAR(std::abs(binValue(spectrum.data(), n, 2) - c), 0.0, 1e-12);
}

TEST(PackedSpectrum, ScalingKeepsTheSignOfRealBinsAndSilentBinsHaveNoPhase) {
    std::vector<double> spectrum = {-4.0, 3.0, -4.0, -0.0, -0.0, -2.0};
    forEachBin(spectrum.data(), 6, [](int, auto bin) { bin.scale(0.5); });
    EXPECT_EQ(spectrum, (std::vector<double>{-2.0, 1.5, -2.0, 0.0, 0.0, -1.0}));
    // atan2(-0, -0) is -pi; a bin with both parts 0 has phase 0 whatever the signs.
    EXPECT_EQ(complexBin(spectrum.data(), 2).phase(), 0.0);
}
