#include "framework/tiny_state.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

TEST(TinyState, ZeroesBothSignsBelowTheThresholdAndKeepsEverythingElse) {
    const double subnormal = std::numeric_limits<double>::denorm_min();
    std::vector<double> states = {9e-31, -9e-31, subnormal, -subnormal, -0.0, 1e-30, -1e-30, -2.5, 32767.0};
    flushTiny(states.data(), static_cast<int>(states.size()));
    EXPECT_EQ(states, (std::vector<double>{0.0, 0.0, 0.0, 0.0, 0.0, 1e-30, -1e-30, -2.5, 32767.0}));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(std::signbit(states[i])) << i;
    EXPECT_TRUE(std::isnan(flushTiny(std::nan(""))));
    EXPECT_EQ(flushTiny(-std::numeric_limits<double>::infinity()), -std::numeric_limits<double>::infinity());
}
