#pragma once

#include <algorithm>
#include <vector>

#include "framework/effect_module.h"

namespace restorationtest {

// Runs a whole interleaved signal through a module in host-sized blocks, as
// the player does (in and out the same buffer), and returns the output
// stream. The output is sample-aligned with the input; it is shorter by the
// module's latency, so the result is padded with zeros to the input length.
// outputCount receives the number of samples the module actually returned.
inline std::vector<double> runStream(EffectModule& module, const std::vector<double>& input, int channels,
                                     int channelMask = 3, int blockFrames = 576, size_t* outputCount = nullptr) {
    std::vector<double> output;
    output.reserve(input.size());
    std::vector<double> block;
    const size_t step = static_cast<size_t>(blockFrames) * channels;
    for (size_t pos = 0; pos < input.size(); pos += step) {
        const size_t count = std::min(step, input.size() - pos);
        block.assign(input.begin() + pos, input.begin() + pos + count);
        const int produced = module.process(block.data(), block.data(), static_cast<int>(count),
                                            static_cast<int>(count), channelMask);
        output.insert(output.end(), block.begin(), block.begin() + produced);
    }
    if (outputCount) *outputCount = output.size();
    output.resize(std::max(output.size(), input.size()), 0.0);
    return output;
}

}  // namespace restorationtest
