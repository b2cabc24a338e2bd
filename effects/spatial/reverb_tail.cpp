#include "effects/spatial/reverb_tail.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/module_random.h"

namespace {

constexpr double kTailLevel = 0.6;
constexpr double kDecayNepers = 7.0;

// A draw mapped to -1 .. 1.
double uniform(ModuleRandom& random) { return random.next() * (2.0 / ModuleRandom::kMax) - 1.0; }

}  // namespace

void generateReverbTail(ModuleRandom& random, int onsetLength, int spacing, double* tail, int length) {
    std::fill(tail, tail + length, 0.0);
    const int step = std::max(spacing, 1);
    const int pulses = onsetLength / step;  // M
    // The ramp and the envelope's width divide by M - 1: 0 for a single pulse.
    const double width = pulses > 1 ? pulses - 1 : 1;

    std::vector<int> gaps(static_cast<size_t>(pulses));
    for (int i = 0; i < pulses; ++i) {
        const double ramp = pulses > 1 ? (1.0 - step) * i / (pulses - 1) : 0.0;
        gaps[i] = static_cast<int>((0.5 * uniform(random) + 1.0) * (ramp + step));
    }
    for (int i = 0; i < pulses && i < length; i += gaps[i] + 1) {
        const double q = 0.5 * uniform(random) + 1.0;
        const double v = uniform(random);
        const double distance = pulses - i;
        tail[i] = kTailLevel * v * q * std::exp(-(distance * distance) / (width * width));
    }
    const int dense = length - pulses;
    for (int j = std::max(pulses, 0); j < length; ++j) {
        const double q = 0.5 * uniform(random) + 1.0;
        const double v = uniform(random);
        tail[j] = kTailLevel * v * q * std::exp(-kDecayNepers * (j - pulses) / dense);
    }
}
