#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/effect_module.h"

namespace timepitchtest {

// The pipeline's output capacity for a block of n samples.
inline int outputCapacity(int extra, int n) {
    if (extra > n) return 2 * n;
    return extra > 0 ? n + extra : n;
}

struct Stream {
    std::vector<double> output;  // everything returned, interleaved
    std::vector<int> produced;   // samples returned by each call
};

// Feeds the input in blocks as the pipeline does: in and out one buffer with
// room for twice the block, the capacity from extraOutput.
inline Stream runBlocks(EffectModule& module, const std::vector<double>& input, int channels, int blockFrames = 576,
                        int channelMask = 3) {
    Stream s;
    std::vector<double> work;
    const size_t step = static_cast<size_t>(blockFrames) * channels;
    for (size_t pos = 0; pos < input.size(); pos += step) {
        const int n = static_cast<int>(std::min(step, input.size() - pos));
        const int capacity = outputCapacity(module.extraOutput(), n);
        work.assign(2 * step, 0.0);
        std::copy(input.begin() + pos, input.begin() + pos + n, work.begin());
        const int got = module.process(work.data(), work.data(), n, capacity, channelMask);
        s.produced.push_back(got);
        s.output.insert(s.output.end(), work.begin(), work.begin() + got);
    }
    return s;
}

// One channel of an interleaved signal, frames [from, to).
inline std::vector<double> channel(const std::vector<double>& x, int channels, int c, size_t from = 0,
                                   size_t to = SIZE_MAX) {
    std::vector<double> out;
    for (size_t i = from; i < to && i * channels + c < x.size(); ++i) out.push_back(x[i * channels + c]);
    return out;
}

// Frequency of a steady tone from its upward zero crossings, located to a
// fraction of a sample by linear interpolation.
inline double toneFrequency(const std::vector<double>& x, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0.0 && x[i] >= 0.0) {
            const double at = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? rate * (crossings - 1) / (last - first) : 0.0;
}

}  // namespace timepitchtest
