// RealFft and chooseTransformLength, checked against a direct DFT
// computed here in long double, never against the transform's own steps.
#include "framework/real_fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

constexpr long double kPiL = 3.141592653589793238462643383279502884L;

// Every frame length the effects use (4 rates x 6 frame durations).
const int kTableLengths[] = {448,  480,  216,  80,   1120, 1200, 560,  200,  1344, 1440, 672,  240,
                             2240, 2400, 1120, 400,  4410, 4800, 2240, 800,  8820, 9600, 4410, 1600};

// Lengths whose half has a factor left over after the fast radices (stage 1
// then runs the general odd-radix kernel): m = 11, 13 x 16, 11 x 10, 97 x 4,
// 101 (the largest accepted radix), 2 x 89, 11 x 3 x 7 and 2 x 13. (An odd
// composite leftover would be at least 11 x 11 = 121 and is refused.)
const int kOddLeftoverLengths[] = {22, 416, 220, 776, 202, 356, 462, 52};

// The PackedSpectrum of x by the definition X_k = sum_n x_n exp(-2 pi i k n / N).
std::vector<double> directDft(const std::vector<double>& x) {
    const int n = static_cast<int>(x.size());
    const int m = n / 2;
    std::vector<long double> c(n), s(n);
    for (int j = 0; j < n; ++j) {
        c[j] = std::cos(2.0L * kPiL * j / n);
        s[j] = std::sin(2.0L * kPiL * j / n);
    }
    std::vector<double> packed(n);
    for (int k = 0; k <= m; ++k) {
        long double re = 0.0L, im = 0.0L;
        int index = 0;  // k * j mod n
        for (int j = 0; j < n; ++j) {
            re += x[j] * c[index];
            im -= x[j] * s[index];
            index += k;
            if (index >= n) index -= n;
        }
        if (k == 0) {
            packed[0] = static_cast<double>(re);
        } else if (k == m) {
            packed[n - 1] = static_cast<double>(re);
        } else {
            packed[2 * k - 1] = static_cast<double>(re);
            packed[2 * k] = static_cast<double>(im);
        }
    }
    return packed;
}

double maxAbs(const std::vector<double>& x) {
    double m = 0.0;
    for (double v : x) m = std::max(m, std::fabs(v));
    return m;
}

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
    double m = 0.0;
    for (size_t i = 0; i < a.size(); ++i) m = std::max(m, std::fabs(a[i] - b[i]));
    return m;
}

void expectForwardMatchesDft(int n, uint32_t seed) {
    SCOPED_TRACE(n);
    RealFft fft(n);
    ASSERT_TRUE(fft.valid());
    ASSERT_EQ(fft.length(), n);
    const std::vector<double> x = testsignals::noise(n, 1, 32767.0, seed);
    std::vector<double> y = x;
    fft.forward(y.data());
    const std::vector<double> reference = directDft(x);
    EXPECT_LE(maxDifference(y, reference), 1e-9 * maxAbs(reference));
}

void expectRoundTrip(int n, uint32_t seed) {
    SCOPED_TRACE(n);
    RealFft fft(n);
    ASSERT_TRUE(fft.valid());
    const std::vector<double> x = testsignals::noise(n, 1, 32767.0, seed);
    std::vector<double> y = x;
    fft.forward(y.data());
    fft.inverse(y.data());
    EXPECT_LE(maxDifference(y, x), 1e-9 * maxAbs(x));
    // A second pair on the same object gives the same result: no state is kept.
    std::vector<double> z = x;
    fft.forward(z.data());
    fft.inverse(z.data());
    EXPECT_EQ(z, y);
}

}  // namespace

TEST(RealFftStages, FactoringOrderAndReversal) {
    EXPECT_EQ(RealFft(1120).stages(), (std::vector<int>{5, 7, 16}));       // m = 560
    EXPECT_EQ(RealFft(1344).stages(), (std::vector<int>{2, 3, 7, 16}));    // m = 672
    EXPECT_EQ(RealFft(8820).stages(), (std::vector<int>{7, 7, 9, 10}));    // m = 4410
    EXPECT_EQ(RealFft(1024).stages(), (std::vector<int>{2, 16, 16}));      // m = 512
    EXPECT_EQ(RealFft(200).stages(), (std::vector<int>{10, 10}));          // m = 100
    EXPECT_EQ(RealFft(2).stages(), (std::vector<int>{1}));                 // m = 1: one stage of radix m
    EXPECT_EQ(RealFft(8).stages(), (std::vector<int>{4}));                 // m = 4 < 5
    EXPECT_EQ(RealFft(416).stages(), (std::vector<int>{13, 16}));          // leftover 13 becomes stage 1
    EXPECT_EQ(RealFft(202).stages(), (std::vector<int>{101}));
}

TEST(RealFftStages, RefusesAFirstRadixAbove101) {
    // m = 143 = 11 x 13 is left over whole: radix 143 exceeds the scratch.
    for (int n : {286, 572, 206 /* m = 103 */}) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        EXPECT_FALSE(fft.valid());
        EXPECT_EQ(fft.length(), n);
        EXPECT_TRUE(fft.stages().empty());
        std::vector<double> x = testsignals::noise(n, 1, 1000.0);
        const std::vector<double> original = x;
        fft.forward(x.data());
        EXPECT_EQ(x, original);
        fft.inverse(x.data());
        EXPECT_EQ(x, original);
    }
    EXPECT_FALSE(RealFft(0).valid());
    EXPECT_FALSE(RealFft(7).valid());
    EXPECT_TRUE(RealFft(2).valid());
}

TEST(RealFftForward, MatchesDirectDftForTableLengths) {
    uint32_t seed = 11;
    for (int n : kTableLengths)
        if (n <= 8820) {
            expectForwardMatchesDft(n, ++seed);
        }
}

TEST(RealFftForward, MatchesDirectDftForSmallAndOddLeftoverLengths) {
    uint32_t seed = 101;
    for (int n = 2; n <= 64; n += 2) expectForwardMatchesDft(n, ++seed);
    for (int n : kOddLeftoverLengths) expectForwardMatchesDft(n, ++seed);
    for (int n : {1024, 2048, 4096, 2 * 16 * 16 * 9, 2 * 8 * 27, 2 * 5 * 5 * 7 * 7, 2 * 2 * 3 * 7})
        expectForwardMatchesDft(n, ++seed);
}

TEST(RealFftRoundTrip, InverseUndoesForward) {
    uint32_t seed = 7;
    for (int n : kTableLengths) expectRoundTrip(n, ++seed);
    for (int n : kOddLeftoverLengths) expectRoundTrip(n, ++seed);
    for (int n = 2; n <= 64; n += 2) expectRoundTrip(n, ++seed);
    for (int n : {13440, 17640, 4096, 2 * 3 * 5 * 7 * 9 * 16}) expectRoundTrip(n, ++seed);
}

// Every instruction set the processor runs gives the baseline's bits, forward
// and inverse, for the frame lengths, the benchmarked ones, the lengths with
// an odd leftover radix, 640, 1536 and 2560, whose radix-10 and radix-16
// stages take the two-group and untwiddled walks, and 84, whose first two
// stages (2 and 3, run as one pass forward) leave one group of seven for the
// two-lane walk.
class RealFftInstructionSets : public testing::TestWithParam<int> {};

TEST_P(RealFftInstructionSets, GiveTheBaselineBits) {
    const std::vector<RealFft::InstructionSet> sets = RealFft::supportedInstructionSets();
    if (sets.size() < 2) GTEST_SKIP() << "this processor runs the baseline only";
    const int n = GetParam();
    RealFft baseline(n, RealFft::InstructionSet::kBaseline);
    const std::vector<double> x = testsignals::noise(n, 1, 32767.0, static_cast<uint32_t>(n));
    std::vector<double> spectrum = x, samples;
    baseline.forward(spectrum.data());
    samples = spectrum;
    baseline.inverse(samples.data());
    for (size_t s = 1; s < sets.size(); ++s) {
        RealFft wider(n, sets[s]);
        std::vector<double> y = x;
        wider.forward(y.data());
        EXPECT_EQ(std::memcmp(y.data(), spectrum.data(), n * sizeof(double)), 0) << "forward, set " << s;
        y = spectrum;
        wider.inverse(y.data());
        EXPECT_EQ(std::memcmp(y.data(), samples.data(), n * sizeof(double)), 0) << "inverse, set " << s;
    }
}

INSTANTIATE_TEST_SUITE_P(FrameAndBenchmarkLengths, RealFftInstructionSets,
                         testing::Values(80, 200, 216, 240, 400, 448, 480, 560, 672, 800, 1120, 1200, 1344, 1440,
                                         1600, 2240, 2400, 4096, 4410, 4800, 8820, 9600, 13440, 22, 416, 220, 776,
                                         202, 356, 462, 52, 196, 640, 1536, 2560, 84));

TEST(RealFftForward, ConstantSignal) {
    for (int n : {1120, 4410, 22, 2}) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        const double v = 1234.5;
        std::vector<double> x(n, v);
        fft.forward(x.data());
        EXPECT_NEAR(x[0], n * v, 1e-9 * n * v);
        for (int i = 1; i < n; ++i) EXPECT_NEAR(x[i], 0.0, 1e-9 * n * v) << i;
    }
}

TEST(RealFftForward, AlternatingSignal) {
    for (int n : {1120, 4410, 22, 2}) {
        SCOPED_TRACE(n);
        RealFft fft(n);
        const double v = -321.25;
        std::vector<double> x(n);
        for (int i = 0; i < n; ++i) x[i] = (i % 2 == 0) ? v : -v;
        fft.forward(x.data());
        EXPECT_NEAR(x[n - 1], n * v, 1e-9 * n * std::fabs(v));
        for (int i = 0; i < n - 1; ++i) EXPECT_NEAR(x[i], 0.0, 1e-9 * n * std::fabs(v)) << i;
    }
}

TEST(RealFftForward, CosineOfWholeCycles) {
    const double amplitude = 1000.0;
    for (int n : {1120, 1344, 8820, 776}) {
        for (int k : {1, 7, n / 4, n / 2 - 1}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " k " << k);
            RealFft fft(n);
            std::vector<double> x(n);
            for (int i = 0; i < n; ++i)
                x[i] = amplitude * static_cast<double>(std::cos(2.0L * kPiL * k * i / n));
            fft.forward(x.data());
            const double peak = amplitude * n / 2;
            EXPECT_NEAR(x[2 * k - 1], peak, 1e-9 * peak);
            EXPECT_NEAR(x[2 * k], 0.0, 1e-9 * peak);
            for (int i = 0; i < n; ++i) {
                if (i != 2 * k - 1) {
                    EXPECT_NEAR(x[i], 0.0, 1e-9 * peak) << i;
                }
            }
        }
    }
}

TEST(RealFftInverse, BinsAboveHalfAreConjugates) {
    // One bin k of value a + ib gives x_n = (2/N)(a cos(2 pi k n/N) - b sin(2 pi k n/N)).
    const int n = 1344, k = 100;
    RealFft fft(n);
    std::vector<double> x(n, 0.0);
    const double a = 3.0, b = -2.0;
    x[2 * k - 1] = a;
    x[2 * k] = b;
    fft.inverse(x.data());
    for (int i = 0; i < n; ++i) {
        const long double angle = 2.0L * kPiL * k * i / n;
        const double expected = static_cast<double>(2.0L / n * (a * std::cos(angle) - b * std::sin(angle)));
        EXPECT_NEAR(x[i], expected, 1e-15) << i;
    }
}

TEST(RealFftAllocation, ForwardAndInverseAllocateNothing) {
    for (int n : {1120, 8820, 22, 776}) {
        RealFft fft(n);
        std::vector<double> x = testsignals::noise(n, 1, 100.0);
        const long before = allocprobe::threadAllocations();
        for (int repeat = 0; repeat < 3; ++repeat) {
            fft.forward(x.data());
            fft.inverse(x.data());
        }
        EXPECT_EQ(allocprobe::threadAllocations(), before) << n;
    }
}

TEST(ChooseTransformLength, FrameLengthTable) {
    const int rates[] = {44100, 48000, 22050, 8000};
    const double durations[] = {0.01, 0.025, 0.03, 0.05, 0.1, 0.2};
    int index = 0;
    for (double duration : durations) {
        for (int rate : rates) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << duration << " s");
            const int target = static_cast<int>(rate * duration);
            // Table order is by duration row then rate column.
            const int expected = kTableLengths[index++];
            EXPECT_EQ(chooseTransformLength(target, 2), expected);
        }
    }
}

TEST(ChooseTransformLength, KnownTargets) {
    EXPECT_EQ(chooseTransformLength(1102, 2), 1120);  // 1080 is 22 away, 1120 is 18
    EXPECT_EQ(chooseTransformLength(1323, 2), 1344);
    EXPECT_EQ(chooseTransformLength(8820, 2), 8820);
    EXPECT_EQ(chooseTransformLength(441, 2), 448);
    EXPECT_EQ(chooseTransformLength(551, 2), 560);
    EXPECT_EQ(chooseTransformLength(661, 2), 672);
    EXPECT_EQ(chooseTransformLength(220, 2), 216);
    for (int target : {2, 1, 0, -7}) EXPECT_EQ(chooseTransformLength(target, 2), 2) << target;
    EXPECT_EQ(chooseTransformLength(3, 2), 2);  // 2 and 4 tie
}

TEST(ChooseTransformLength, TieGoesToTheSmaller) {
    EXPECT_EQ(chooseTransformLength(11, 2), 10);      // 10 and 12
    EXPECT_EQ(chooseTransformLength(22, 2), 20);      // 20 and 24
    EXPECT_EQ(chooseTransformLength(1100, 2), 1080);  // 1080 and 1120, nothing between
    EXPECT_EQ(chooseTransformLength(1101, 2), 1120);
    EXPECT_EQ(chooseTransformLength(1099, 2), 1080);
}

TEST(ChooseTransformLength, ResultsAreEvenAndSevenSmooth) {
    for (int target = 3; target < 20000; target += 37) {
        const int n = chooseTransformLength(target, 2);
        ASSERT_EQ(n % 2, 0) << target;
        int rest = n;
        for (int p : {2, 3, 5, 7})
            while (rest % p == 0) rest /= p;
        ASSERT_EQ(rest, 1) << target;
        // Nearest among the candidates up to the limit (the smallest power of
        // 2, 3, 5 or 7 above the target): no even 7-smooth number there is closer.
        long limit = 1L << 40;
        for (long p : {2L, 3L, 5L, 7L}) {
            long power = 1;
            while (power <= target) power *= p;
            limit = std::min(limit, power);
        }
        for (int other = 2; other <= limit; other += 2) {
            int r = other;
            for (int p : {2, 3, 5, 7})
                while (r % p == 0) r /= p;
            if (r == 1) {
                ASSERT_LE(std::abs(n - target), std::abs(other - target)) << target << " " << other;
            }
        }
        ASSERT_TRUE(RealFft(n).valid());
    }
}

TEST(ChooseTransformLength, CandidatesStopAtTheLimit) {
    // The limit is the smallest of 2^k2, 3^k3, 5^k5 and 7^k7 above the target:
    // for 3111 it is 5^5 = 3125, so 3136 (25 away) is no candidate and the
    // answer is 3072 (39 away), since the candidate limit leaves the nearer length out.
    EXPECT_EQ(chooseTransformLength(3111, 2), 3072);
    EXPECT_EQ(chooseTransformLength(3124, 2), 3072);
    EXPECT_EQ(chooseTransformLength(3125, 2), 3136);  // 5^6 is then the 5-limit, 4096 the overall
}
