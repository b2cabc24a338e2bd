#include "effects/spatial/channel_pair_effect.h"

#include <algorithm>

ChannelPairEffect::ChannelPairEffect(double sampleRate, double frameDuration, double hopFraction, int streamChannels,
                                     int capacity)
    : BlockEffect(sampleRate, frameDuration, hopFraction, kPairChannels, capacity, kFrameOverlapAdd),
      streamChannels_(streamChannels < 1 ? 1 : streamChannels),
      followers_(streamChannels_ - kPairChannels, 0) {
    if (streamChannels_ > kPairChannels) pair_.assign(static_cast<size_t>(capacity), 0.0);
}

int ChannelPairEffect::reset() {
    followers_.reset();
    return BlockEffect::reset();
}

int ChannelPairEffect::process(const double* in, double* out, int inCount, int outCapacity, int channelMask) {
    // A mask of 0 never reaches a module; any other selects the whole pair.
    const int pairMask = channelMask != 0 ? 3 : 0;
    const int C = streamChannels_;
    if (C <= kPairChannels) return BlockEffect::process(in, out, inCount, outCapacity, pairMask);

    // Everything is read from in before anything is written to out (they
    // may be one buffer).
    const int frames = inCount / C;
    const int capacityFrames = outCapacity / C;
    const size_t needed = static_cast<size_t>(kPairChannels) * std::max(frames, capacityFrames);
    if (pair_.size() < needed) pair_.resize(needed);
    for (int f = 0; f < frames; ++f) {
        pair_[2 * f] = in[static_cast<size_t>(f) * C];
        pair_[2 * f + 1] = in[static_cast<size_t>(f) * C + 1];
    }
    for (int c = kPairChannels; c < C; ++c) followers_.push(c - kPairChannels, in + c, frames, C);

    const int produced =
        BlockEffect::process(pair_.data(), pair_.data(), kPairChannels * frames, kPairChannels * capacityFrames, pairMask);
    const int producedFrames = produced / kPairChannels;
    for (int f = 0; f < producedFrames; ++f) {
        out[static_cast<size_t>(f) * C] = pair_[2 * f];
        out[static_cast<size_t>(f) * C + 1] = pair_[2 * f + 1];
    }
    for (int c = kPairChannels; c < C; ++c) followers_.pop(c - kPairChannels, out + c, producedFrames, C);
    return producedFrames * C;
}
