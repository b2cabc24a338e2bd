#include "effects/eq/biquad_section.h"

#include <cmath>
#include <complex>

#include "framework/portable_math.h"

namespace {

using portable::kPi;

double linearGain(double gainDb) { return std::pow(10.0, 0.05 * gainDb); }

}  // namespace

// The shelves write numerator and denominator with the same expressions, so
// that at 0 dB (V = 1) both are bit-identical and the section is an exact identity.
BiquadSection BiquadSection::lowShelf(double frequency, double sampleRate, double gainDb) {
    const double k = std::tan(kPi * frequency / sampleRate);
    const double v = linearGain(gainDb);
    const double root2 = std::sqrt(2.0);
    const double root2v = std::sqrt(2.0 * v);
    const double k2 = k * k;
    const double d = v + root2v * k + k2;
    BiquadSection s;
    s.b0 = v * (1.0 + root2 * k + k2) / d;
    s.b1 = 2.0 * v * (k2 - 1.0) / d;
    s.b2 = v * (1.0 - root2 * k + k2) / d;
    s.a0 = 1.0;
    s.a1 = 2.0 * (k2 - v) / d;
    s.a2 = (v - root2v * k + k2) / d;
    return s;
}

BiquadSection BiquadSection::highShelf(double frequency, double sampleRate, double gainDb) {
    const double k = std::tan(kPi * frequency / sampleRate);
    const double v = linearGain(gainDb);
    const double root2 = std::sqrt(2.0);
    const double root2v = std::sqrt(2.0 * v);
    const double k2 = k * k;
    const double d = 1.0 + root2 * k + k2;
    BiquadSection s;
    s.b0 = (v + root2v * k + k2) / d;
    s.b1 = 2.0 * (k2 - v) / d;
    s.b2 = (v - root2v * k + k2) / d;
    s.a0 = 1.0;
    s.a1 = 2.0 * (k2 - 1.0) / d;
    s.a2 = (1.0 - root2 * k + k2) / d;
    return s;
}

double BiquadSection::qualityFactor(double bandwidthOctaves) {
    return std::pow(2.0, bandwidthOctaves / 2.0) / (std::pow(2.0, bandwidthOctaves) - 1.0);
}

BiquadSection BiquadSection::peaking(double frequency, double sampleRate, double bandwidthOctaves, double gainDb) {
    const double w = 2.0 * kPi * frequency / sampleRate;
    const double alpha = std::sin(w) / (2.0 * qualityFactor(bandwidthOctaves));
    const double a = std::sqrt(linearGain(gainDb));
    const double d = 1.0 + alpha / a;
    BiquadSection s;
    s.b0 = (1.0 + alpha * a) / d;
    s.b1 = -2.0 * std::cos(w) / d;
    s.b2 = (1.0 - alpha * a) / d;
    s.a0 = 1.0;
    s.a1 = s.b1;
    s.a2 = (1.0 - alpha / a) / d;
    return s;
}

double BiquadSection::magnitudeAt(double frequency, double sampleRate) const {
    // H(z) at z = e^{jw}, with z^-1 = e^{-jw}.
    const std::complex<double> zInv = std::polar(1.0, -2.0 * kPi * frequency / sampleRate);
    const std::complex<double> numerator = b0 + zInv * (b1 + zInv * b2);
    const std::complex<double> denominator = a0 + zInv * (a1 + zInv * a2);
    return std::abs(numerator / denominator);
}
