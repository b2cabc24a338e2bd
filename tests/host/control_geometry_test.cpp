#include <gtest/gtest.h>

#include "host/control_geometry.h"

namespace {

TEST(ControlGeometry, SliderRowWithoutParametersCentresTheGainSlider) {
    const SliderRow row(309, 0);
    EXPECT_DOUBLE_EQ(row.spacing(), 269.0);
    EXPECT_DOUBLE_EQ(row.firstX(), 30.0 + (309 - 68) / 2.0);
    EXPECT_EQ(row.columnX(0), 150);  // 150.5 truncated
    EXPECT_EQ(row.captionX(0, 21), 152);  // trunc(150.5 + 3.5) - 2
}

TEST(ControlGeometry, SliderRowOfThirtyOneBands) {
    const SliderRow row(944, 31);
    EXPECT_DOUBLE_EQ(row.spacing(), 28.25);
    EXPECT_DOUBLE_EQ(row.firstX(), 30.125);
    EXPECT_EQ(row.columnX(1), 58);    // 58.375
    EXPECT_EQ(row.columnX(31), 905);  // 905.875: the last band's slider
    EXPECT_EQ(row.captionX(31, 30), 902);
}

TEST(ControlGeometry, OctagonCutsOnePixelOffEachCorner) {
    PixelPoint points[8];
    octagonPoints({2, 10, 30, 21}, points);
    const PixelPoint expected[8] = {{3, 10}, {2, 11}, {2, 19}, {3, 20}, {28, 20}, {29, 19}, {29, 11}, {28, 10}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(points[i].x, expected[i].x) << i;
        EXPECT_EQ(points[i].y, expected[i].y) << i;
    }
    PixelPoint corners[4];
    cornerPixels({2, 10, 30, 21}, corners);
    const PixelPoint expectedCorners[4] = {{2, 10}, {2, 20}, {29, 10}, {29, 20}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(corners[i].x, expectedCorners[i].x) << i;
        EXPECT_EQ(corners[i].y, expectedCorners[i].y) << i;
    }
}

TEST(ControlGeometry, WindowStandsAboveThePlayerAndInsideTheWorkArea) {
    const PixelBox work = {0, 0, 1280, 994};
    PixelPoint at = controlWindowOrigin({300, 400, 575, 516}, work, 440, 180);
    EXPECT_EQ(at.x, 300);
    EXPECT_EQ(at.y, 220);
    // Docked at the top: no room above, so below the player.
    at = controlWindowOrigin({0, 0, 275, 116}, work, 440, 180);
    EXPECT_EQ(at.y, 116);
    // Docked at the top of a screen too short for below as well: inside.
    at = controlWindowOrigin({0, 0, 275, 900}, work, 440, 180);
    EXPECT_EQ(at.y, 0);
    // Past the right and left edges of the work area.
    EXPECT_EQ(controlWindowOrigin({1100, 400, 1375, 516}, work, 440, 180).x, 840);
    EXPECT_EQ(controlWindowOrigin({-5000, 400, -4725, 516}, work, 440, 180).x, 0);
    // A work area smaller than the window keeps its top-left corner in view.
    at = controlWindowOrigin({300, 400, 575, 516}, {10, 20, 400, 150}, 950, 180);
    EXPECT_EQ(at.x, 10);
    EXPECT_EQ(at.y, 20);
}

}  // namespace
