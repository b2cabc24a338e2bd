#include "effects/distortion/portable_trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Distance in units in the last place between two doubles of the same sign.
int64_t ulps(double a, double b) {
    if (a == b) return 0;
    int64_t ia, ib;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    if ((ia < 0) != (ib < 0)) return std::numeric_limits<int64_t>::max();
    return ia > ib ? ia - ib : ib - ia;
}

// Within one unit in the last place of the C library's (correctly rounded on
// glibc) values, over the angles the whisper meets and well beyond.
TEST(PortableTrig, SineAndCosineWithinOneUlp) {
    uint32_t state = 1;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1664525u + 1013904223u;
        const double unit = state / 4294967296.0;
        const double x = i % 4 == 0 ? (unit - 0.5) * 1e-3 : (unit - 0.5) * (i % 4 == 3 ? 2000.0 : 2.02 * kPi);
        const portabletrig::SinCos sc = portabletrig::sinCos(x);
        ASSERT_LE(ulps(sc.sin, std::sin(x)), 1) << x;
        ASSERT_LE(ulps(sc.cos, std::cos(x)), 1) << x;
    }
    // Near the quadrant boundaries the reduction keeps the small remainder.
    for (double x : {kPi, -kPi, kPi / 2, -kPi / 2, 3 * kPi / 2}) {
        const portabletrig::SinCos sc = portabletrig::sinCos(x);
        EXPECT_LE(ulps(sc.sin, std::sin(x)), 1) << x;
        EXPECT_LE(ulps(sc.cos, std::cos(x)), 1) << x;
    }
}

TEST(PortableTrig, ArcTangentWithinOneUlpInEveryQuadrant) {
    uint32_t state = 7;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state / 4294967296.0 - 0.5;
    };
    for (int i = 0; i < 200000; ++i) {
        const double y = next() * (i % 3 == 0 ? 1e-4 : 6e4);
        const double x = next() * (i % 5 == 0 ? 1e-4 : 6e4);
        ASSERT_LE(ulps(portabletrig::atan2(y, x), std::atan2(y, x)), 1) << y << ", " << x;
    }
    EXPECT_EQ(portabletrig::atan2(0.0, 0.0), 0.0);
    EXPECT_EQ(portabletrig::atan2(0.0, -1.0), std::atan2(0.0, -1.0));
    EXPECT_EQ(portabletrig::atan2(-0.0, -1.0), std::atan2(-0.0, -1.0));
    EXPECT_EQ(portabletrig::atan2(1.0, 0.0), std::atan2(1.0, 0.0));
    EXPECT_EQ(portabletrig::atan2(-3.0, 0.0), std::atan2(-3.0, 0.0));
}

}  // namespace
