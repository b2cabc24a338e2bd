#include "framework/slider_scale.h"

#include <cmath>

namespace {

// Truncation toward zero that stays defined for values beyond the int range.
int truncateToInt(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(x);
}

}  // namespace

double sliderToValue(const ParamDescriptor& d, double position) {
    return d.max + (d.min - d.max) * position / kSliderPositions;
}

int valueToSlider(const ParamDescriptor& d, double value) {
    if (d.min == d.max) return 0;
    return truncateToInt((value - d.max) * kSliderPositions / (d.min - d.max));
}

double gainSliderToGain(double position) { return std::pow(10.0, (kGainRangeDecibels - position / kGainPositionsPerDecibel) / 20.0); }

int gainToSlider(double gain) { return decibelsToGainSlider(20.0 * std::log10(gain)); }

int decibelsToGainSlider(double decibels) { return truncateToInt((kGainRangeDecibels - decibels) * kGainPositionsPerDecibel); }
