#include <gtest/gtest.h>

#include <cmath>

#include "framework/slider_scale.h"
#include "../support/fake_effect.h"

TEST(SliderScale, ParameterPositionsRunFromMaxToMin) {
    const ParamDescriptor d = makeDescriptor("Test", 1.0, -1.5, 0.0);
    EXPECT_DOUBLE_EQ(sliderToValue(d, 0), 1.0);
    EXPECT_DOUBLE_EQ(sliderToValue(d, 6000), -1.5);
    EXPECT_DOUBLE_EQ(sliderToValue(d, 3000), -0.25);
    EXPECT_EQ(valueToSlider(d, 0.0), 2400);
    EXPECT_EQ(valueToSlider(d, 1.0), 0);
    EXPECT_EQ(valueToSlider(d, -1.5), 6000);
}

TEST(SliderScale, PositionsTruncateTowardZero) {
    const ParamDescriptor d = makeDescriptor("Band", 18.0, -18.0, 0.0);
    // (18 - 17.99) * 6000 / 36 = 1.666..., truncated to 1.
    EXPECT_EQ(valueToSlider(d, 17.99), 1);
    EXPECT_EQ(valueToSlider(d, 18.5), -83) << "values above max give negative positions, truncated toward zero";
}

TEST(SliderScale, GainSliderIsDecibelScale) {
    EXPECT_DOUBLE_EQ(gainSliderToGain(3000), 1.0);
    EXPECT_NEAR(gainSliderToGain(0), 1000.0, 1e-9);
    EXPECT_NEAR(gainSliderToGain(6000), 0.001, 1e-15);
    EXPECT_EQ(gainToSlider(1.0), 3000);
    EXPECT_EQ(gainToSlider(2.0), 2698);
    EXPECT_NEAR(gainSliderToGain(2698), std::pow(10.0, 6.04 / 20.0), 1e-12);
    EXPECT_EQ(decibelsToGainSlider(3.0), 2850);
}

TEST(SliderScale, DegenerateInputsStayDefined) {
    const ParamDescriptor flat = makeDescriptor("Flat", 1.0, 1.0, 1.0);
    EXPECT_EQ(valueToSlider(flat, 1.0), 0);
    EXPECT_EQ(gainToSlider(0.0), 2147483647);
}
