#include "tools/kernel_table/diffuse_field_equaliser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// A set coloured alike (a first difference: nothing at DC) whose members
// differ by level and delay, as ears and directions do, averages to a flat
// unit response where the lift stays under the limit, stops lifting at the
// limit towards DC, and keeps every member's level and delay relative to the others.
TEST(DiffuseFieldEqualiserTest, FlattensTheSharedColourAndKeepsWhatTellsResponsesApart) {
    const int taps = 256, kernelTaps = 200, n = DiffuseFieldEqualiser::kDesignLength;
    const double gains[] = {1.0, 0.5, 0.25, 0.7};
    const int delays[] = {10, 14, 10, 12};
    std::vector<std::vector<double>> set(4, std::vector<double>(taps, 0.0));
    std::vector<const double*> responses;
    for (int r = 0; r < 4; ++r) {
        set[r][delays[r]] = gains[r];
        set[r][delays[r] + 1] = -gains[r];
        responses.push_back(set[r].data());
    }
    const DiffuseFieldEqualiser eq(responses, taps, kernelTaps, 2000.0 / 44100.0, 12000.0 / 44100.0);
    for (int k = 2000 * n / 44100 + 1; k <= 12000 * n / 44100; ++k)
        ASSERT_NEAR(10.0 * std::log10(eq.powerAverage()[k]), 0.0, 0.5) << k;
    EXPECT_NEAR(eq.largestLiftDb(), DiffuseFieldEqualiser::kMaxLiftDb, 0.5);
    const auto energy = [&](int r) { return std::inner_product(eq.kernel(r), eq.kernel(r) + kernelTaps, eq.kernel(r), 0.0); };
    const auto louder = [](double a, double b) { return std::fabs(a) < std::fabs(b); };
    const auto peak = [&](int r) { return std::max_element(eq.kernel(r), eq.kernel(r) + kernelTaps, louder) - eq.kernel(r); };
    for (int r = 1; r < 4; ++r) {
        EXPECT_NEAR(std::sqrt(energy(r) / energy(0)), gains[r], 1e-3 * gains[r]) << r;
        EXPECT_EQ(peak(r) - peak(0), delays[r] - delays[0]) << r;
    }
}

}  // namespace
