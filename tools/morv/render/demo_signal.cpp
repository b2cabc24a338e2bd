#include "tools/morv/render/demo_signal.h"

#include <cmath>

#include "framework/portable_math.h"

std::vector<int32_t> makeDemoSignal(int sampleRate, double seconds) {
    const double pi = portable::kPi;
    const int frames = static_cast<int>(sampleRate * seconds);
    std::vector<int32_t> out(static_cast<size_t>(frames) * 2);
    uint32_t seed = 12345;
    const double third = seconds / 3.0;
    // Steady noise, in opposite phase on the two channels.
    auto noise = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<double>(seed) / 2147483648.0 - 1.0) * 0.03;
    };
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        double left = 0.0, right = 0.0;
        if (t < kBareNoiseSeconds) {
            // The noise alone, for a noise reduction to learn.
            left = noise();
            right = -left;
        } else if (t < third) {
            // A-major chord, the third panned right.
            left = 0.2 * std::sin(2 * pi * 220.0 * t) + 0.15 * std::sin(2 * pi * 440.0 * t);
            right = 0.2 * std::sin(2 * pi * 220.0 * t) + 0.15 * std::sin(2 * pi * 554.37 * t);
        } else if (t < 2 * third) {
            // Exponential chirp from 50 Hz to 15 kHz.
            const double u = t - third;
            const double k = std::log(15000.0 / 50.0) / third;
            const double phase = 2 * pi * 50.0 * (std::exp(k * u) - 1.0) / k;
            left = right = 0.3 * std::sin(phase);
        } else {
            // A tone under the same noise, with a click every quarter second.
            const double n = noise();
            left = 0.25 * std::sin(2 * pi * 330.0 * t) + n;
            right = 0.25 * std::sin(2 * pi * 330.0 * t) - n;
            if (i % (sampleRate / 4) == 0) left += 0.5;
        }
        out[2 * static_cast<size_t>(i)] = static_cast<int32_t>(left * 2147483647.0);
        out[2 * static_cast<size_t>(i) + 1] = static_cast<int32_t>(right * 2147483647.0);
    }
    return out;
}
