#include <gtest/gtest.h>

#include <string>

#include "host/knob_caption.h"

namespace {

std::string caption(double value) {
    char text[16];
    const int length = formatKnobCaption(value, text, sizeof text);
    EXPECT_EQ(length, static_cast<int>(std::string(text).size()));
    return text;
}

TEST(KnobCaption, FormatsByMagnitudeWithBoundsInTheLowerRow) {
    EXPECT_EQ(caption(9.5), " 9");
    EXPECT_EQ(caption(99.5), " 99");
    EXPECT_EQ(caption(16000), " 16k");
    EXPECT_EQ(caption(2.5e6), "  2M");
    EXPECT_EQ(caption(9.0), "9.0");
    EXPECT_EQ(caption(99.0), "99");
    EXPECT_EQ(caption(999.0), "999");
    EXPECT_EQ(caption(1000000.0), "1000k");
    EXPECT_EQ(caption(0.25), "0.2");
}

TEST(KnobCaption, NegativeValuesTruncateTowardZero) {
    EXPECT_EQ(caption(-0.5), "-0.5");
    EXPECT_EQ(caption(-9.5), "-9");
    EXPECT_EQ(caption(-60.0), "-60");
    EXPECT_EQ(caption(-2500.0), " -2k");
    EXPECT_EQ(caption(-3.7e6), " -3M");
}

TEST(KnobCaption, GainKnobShowsDecibels) {
    EXPECT_EQ(caption(gainKnobDecibels(3000)), "0.0");
    EXPECT_EQ(caption(gainKnobDecibels(2700)), "6.0");
    EXPECT_EQ(caption(gainKnobDecibels(2500)), "10");
    EXPECT_EQ(caption(gainKnobDecibels(0)), "60");
    EXPECT_EQ(caption(gainKnobDecibels(6000)), "-60");
}

}  // namespace
