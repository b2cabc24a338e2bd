#pragma once

#include <cmath>

// Control ports carry floats; the engine works with doubles. A float holds a
// decimal value of up to seven significant digits only approximately
// (-17.2 arrives as -17.2000007629...), and an equaliser designed for the
// float's value would differ in the last bits from the one `morv process` or
// the player designs for the decimal -17.2. The port value is therefore read
// as the decimal of seven significant digits nearest to it: every preset
// value, every value typed as a decimal with seven digits or fewer comes back
// as the double the same literal gives, and any other float moves by less
// than one part in ten million.
inline double portValueToDouble(float value) {
    const double v = value;
    if (!(std::fabs(v) > 0.0) || !std::isfinite(v)) return v;
    // Powers of ten up to 10^22 are exact doubles.
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kDigits = 7;
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(v))));
    const int scale = kDigits - 1 - magnitude;  // decimal places kept
    if (scale < 0 || scale > 22) return v;
    // |v| * 10^scale lies below 10^7, so the product and its rounding are exact
    // enough, and the division by an exact power is correctly rounded: the
    // nearest double to the decimal.
    return std::nearbyint(v * kPowers[scale]) / kPowers[scale];
}
