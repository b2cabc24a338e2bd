#include "effects/spatial/channel_pair_effect.h"

ChannelPairEffect::ChannelPairEffect(double sampleRate, double frameDuration, double hopFraction,
                                     int /*streamChannels*/, int capacity)
    : BlockEffect(sampleRate, frameDuration, hopFraction, kPairChannels, capacity, kFrameOverlapAdd) {}

int ChannelPairEffect::process(const double* in, double* out, int inCount, int outCapacity, int channelMask) {
    // A mask of 0 never reaches a module; any other selects the whole pair.
    return BlockEffect::process(in, out, inCount, outCapacity, channelMask != 0 ? 3 : 0);
}
