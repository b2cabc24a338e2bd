#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "framework/portable_math.h"

// Signals generated inside the tests: interleaved doubles on the 16-bit scale.
namespace testsignals {

using portable::kPi;

// A sine of the given frequency and amplitude on every channel.
inline std::vector<double> sine(int frames, int channels, double rate, double frequency, double amplitude,
                                double phase = 0.0) {
    std::vector<double> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2.0 * kPi * frequency * i / rate + phase);
        for (int c = 0; c < channels; ++c) out[static_cast<size_t>(i) * channels + c] = v;
    }
    return out;
}

// Uniform white noise in [-amplitude, amplitude], reproducible from the seed.
inline std::vector<double> noise(int frames, int channels, double amplitude, uint32_t seed = 1) {
    std::vector<double> out(static_cast<size_t>(frames) * channels);
    uint32_t x = seed;
    for (double& v : out) {
        x = x * 1664525u + 1013904223u;
        v = amplitude * (static_cast<double>(x) / 2147483648.0 - 1.0);
    }
    return out;
}

// Root mean square of every stride-th value starting at offset.
inline double rms(const std::vector<double>& x, size_t offset = 0, size_t stride = 1, size_t end = SIZE_MAX) {
    double sum = 0.0;
    size_t count = 0;
    for (size_t i = offset; i < x.size() && i < end; i += stride) {
        sum += x[i] * x[i];
        ++count;
    }
    return count ? std::sqrt(sum / count) : 0.0;
}

}  // namespace testsignals
