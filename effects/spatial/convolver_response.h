#pragma once

#include <memory>
#include <vector>

#include "effects/spatial/convolution_level.h"
#include "framework/real_fft.h"

// A response cut into a PartitionedConvolver's levels and transformed, with
// the levels and storage the convolver lacks for it, built off the audio
// thread by prepareResponse and swapped in by installResponse. Its storage
// is kept for the next response: after an install it holds what the
// convolver gave up.
struct ConvolverResponse {
    static constexpr int kMaxLevels = 3;

    struct Level {
        std::unique_ptr<RealFft> transform;  // the staging side's own transform of the level's length
        std::vector<double> spectra;         // partition spectra and a spare, in slots of spectrumStride
        int partitions = 0;
        int silent = 0;                      // leading partitions of zeros
        std::vector<double> grownHistory;    // zeros for a history that must grow, else unused
    };

    int length = 0;  // samples; below 1 nothing is installed
    Level levels[kMaxLevels];
    std::vector<std::unique_ptr<ConvolutionLevel>> newLevels;  // levels the convolver appends
    std::vector<double> ring;  // coarse-level output ring, when the convolver has none yet
};
