#pragma once

#include "framework/effect_module.h"

// An effect that works on one plane per channel. process() de-interleaves the
// block into buffer A (plane c at A + c * inputCount / C), calls processPlanes,
// and re-interleaves buffer B (plane c at B + c * outputCount / C). A pending
// redesign is installed just before processPlanes.
class PlanarEffect : public EffectModule {
public:
    PlanarEffect(int channels, int capacity);

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;
    virtual void processPlanes(int channelMask) = 0;

    int channelCount() const { return channels_; }

protected:
    const double* inputPlane(int channel) const { return bufferA_.get() + channel * (inputCount_ / channels_); }
    double* outputPlane(int channel) { return bufferB_.get() + channel * (outputCount_ / channels_); }
    int inputFrames() const { return inputCount_ / channels_; }
    int outputFrames() const { return outputCount_ / channels_; }

    int channels_;
    int inputCount_ = 0;
    int outputCount_ = 0;
};
