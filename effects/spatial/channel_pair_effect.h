#pragma once

#include <vector>

#include "framework/block_effect.h"
#include "framework/follower_channels.h"

// A frame effect that always works on one left/right pair. It ignores the
// channel mask: both halves of the pair are always processed, whichever
// channel the mask names; the pipeline still gains only the selected ones.
//
// Stream layouts: on a mono stream consecutive samples are taken as one left
// and one right sample. On a stream of more than two
// channels the pair is the first two; the others come back dry and in line
// with it: the frame effect delivers each pair frame as the input frame it
// came from, held back until its frame is complete, and the other channels
// are held back exactly as long.
class ChannelPairEffect : public BlockEffect {
public:
    static constexpr int kPairChannels = 2;

    ChannelPairEffect(double sampleRate, double frameDuration, double hopFraction, int streamChannels, int capacity);

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;
    int reset() override;

    int streamChannels() const { return streamChannels_; }

private:
    int streamChannels_;
    FollowerChannels followers_;
    std::vector<double> pair_;  // the pair of a wider stream, interleaved
};
