#pragma once

#include <cmath>

#include "framework/param_descriptor.h"
#include "framework/portable_math.h"

// The one slider of each time and pitch module: an exponent whose power of a
// base is the module's factor (2^"Ratio", 2^"Tempo", 3^"Pitch"). The factor
// is what the control window shows; values outside the slider's range are
// held to it, so a stored setting can never ask for a factor the module's
// buffers were not sized for.
class ExponentParameter {
public:
    constexpr ExponentParameter(const ParamDescriptor& slider, double log2OfBase)
        : max_(slider.max), min_(slider.min), default_(slider.defaultValue), log2OfBase_(log2OfBase) {}

    double held(double value) const {
        if (!(value >= min_)) return value != value ? default_ : min_;
        return value > max_ ? max_ : value;
    }

    // base^value, value held to the range first.
    double factor(double value) const { return portable::powerOfTwo(held(value) * log2OfBase_); }
    double lowestFactor() const { return factor(min_); }
    // What the slider shows: the factor, unheld.
    double shown(double value) const { return portable::powerOfTwo(value * log2OfBase_); }
    // The exponent of a factor (positive), unheld: the value the slider
    // stands at when it shows that factor.
    double exponent(double factor) const { return std::log2(factor) / log2OfBase_; }

private:
    double max_;
    double min_;
    double default_;
    double log2OfBase_;
};

constexpr double kLog2Of2 = 1.0;
constexpr double kLog2Of3 = 1.58496250072115618146;
