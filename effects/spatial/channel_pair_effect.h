#pragma once

#include "framework/block_effect.h"

// A frame effect that always works on one left/right pair (on a mono stream
// consecutive samples are taken as one left and one right sample). It ignores
// the channel mask: both halves of the pair are always processed, whichever
// channel the mask names; the pipeline still gains only the selected ones.
class ChannelPairEffect : public BlockEffect {
public:
    static constexpr int kPairChannels = 2;

    ChannelPairEffect(double sampleRate, double frameDuration, double hopFraction, int streamChannels, int capacity);

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;
};
