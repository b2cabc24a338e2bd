#include "effects/spatial/channel_pair_effect.h"

ChannelPairEffect::ChannelPairEffect(double sampleRate, double frameDuration, double hopFraction, int streamChannels,
                                     int capacity)
    : BlockEffect(sampleRate, frameDuration, hopFraction, kPairChannels, capacity, kFrameOverlapAdd),
      monoStream_(streamChannels == 1) {}

int ChannelPairEffect::process(const double* in, double* out, int inCount, int outCapacity, int channelMask) {
    if (monoStream_ && (channelMask & 1)) channelMask = 3;
    return BlockEffect::process(in, out, inCount, outCapacity, channelMask);
}
