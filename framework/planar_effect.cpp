#include "framework/planar_effect.h"

PlanarEffect::PlanarEffect(int channels, int capacity) : EffectModule(capacity), channels_(channels) {}

int PlanarEffect::process(const double* in, double* out, int inCount, int outCapacity, int channelMask) {
    if (inCount > capacityA_) growA(inCount);
    if (outCapacity > capacityB_) growB(outCapacity);
    inputCount_ = inCount;
    outputCount_ = outCapacity;

    const int channels = channels_;
    const int framesIn = inCount / channels;
    double* planes = bufferA_.get();
    for (int c = 0; c < channels; ++c) {
        double* plane = planes + c * framesIn;
        for (int i = 0; i < framesIn; ++i) plane[i] = in[i * channels + c];
    }

    updateDesign();
    processPlanes(channelMask);

    const int framesOut = outCapacity / channels;
    const double* result = bufferB_.get();
    for (int c = 0; c < channels; ++c) {
        const double* plane = result + c * framesOut;
        for (int i = 0; i < framesOut; ++i) out[i * channels + c] = plane[i];
    }
    return channels * framesOut;
}
