#include "framework/portable_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(PortableMath, AnglesAndPowersAgreeWithTheCLibrary) {
    double worstAngle = 0.0, worstSin = 0.0, worstCos = 0.0, worstPower = 0.0;
    for (int i = -20000; i <= 20000; ++i) {
        const double x = i * 0.01237;  // about -247 to 247 radians
        double s, c;
        portable::sinCos(x, &s, &c);
        worstSin = std::max(worstSin, std::fabs(s - std::sin(x)));
        worstCos = std::max(worstCos, std::fabs(c - std::cos(x)));
        const double scale = 1.0 + std::abs(i % 7);
        const double re = std::cos(x) * scale, im = std::sin(x) * scale;
        worstAngle = std::max(worstAngle, std::fabs(portable::angle(im, re) - std::atan2(im, re)));
        const double e = i * 1e-4;  // -2 to 2
        worstPower = std::max(worstPower, std::fabs(portable::powerOfTwo(e) / std::pow(2.0, e) - 1.0));
    }
    EXPECT_LT(worstSin, 4e-16);
    EXPECT_LT(worstCos, 4e-16);
    EXPECT_LT(worstAngle, 1e-15);
    EXPECT_LT(worstPower, 4e-16);
    EXPECT_EQ(portable::angle(0.0, 0.0), 0.0);
    EXPECT_EQ(portable::angle(0.0, -1.0), kPi);
    EXPECT_EQ(portable::powerOfTwo(0.0), 1.0);
    EXPECT_EQ(portable::powerOfTwo(1.0), 2.0);
}

TEST(PortableMath, DeviationsWrapByEvenMultiplesOfPi) {
    EXPECT_NEAR(portable::wrapDeviation(2.5 * kPi), 0.5 * kPi, 1e-12);   // q 2
    EXPECT_NEAR(portable::wrapDeviation(3.5 * kPi), -0.5 * kPi, 1e-12);  // q 3, made 4
    EXPECT_NEAR(portable::wrapDeviation(-1.2 * kPi), 0.8 * kPi, 1e-12);  // q -1, made -2
    EXPECT_NEAR(portable::wrapDeviation(0.7 * kPi), 0.7 * kPi, 1e-12);
    EXPECT_NEAR(portable::wrapTurns(1000.0 * kPi + 0.25), 0.25, 1e-12);
}

}  // namespace
