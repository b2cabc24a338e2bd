#pragma once

#include "framework/block_effect.h"

// A frame effect that always works on one left/right pair: on a mono stream
// consecutive samples are taken as one left and one right sample, so the one
// channel is the whole pair and a mask that selects it selects both halves.
class ChannelPairEffect : public BlockEffect {
public:
    static constexpr int kPairChannels = 2;

    ChannelPairEffect(double sampleRate, double frameDuration, double hopFraction, int streamChannels, int capacity);

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;

private:
    bool monoStream_;
};
