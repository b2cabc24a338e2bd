#include "effects/timepitch/resampler.h"

#include <cstring>

#include "effects/timepitch/exponent_parameter.h"
#include "effects/timepitch/time_pitch_presets.h"

namespace {

// The base's buffers start with room for this many samples.
constexpr int kCapacity = 6000;
constexpr ExponentParameter kRatio("Ratio", 1.0, -1.5, 0.0, kLog2Of2);

}  // namespace

Resampler::Resampler(int channels)
    : EffectModule(kCapacity),
      channels_(channels < 1 ? 1 : channels),
      converters_(static_cast<size_t>(channels_)),
      pendingOutput_(channels_, kCapacity) {
    openConverters();
}

int Resampler::describeParameters(ParamDescriptor* descriptors) {
    kRatio.describe(&descriptors[0]);
    return 1;
}

void Resampler::setParameters(const double* values) {
    factor_ = kRatio.factor(values[0]);
    requestRedesign();
}

int Resampler::extraOutput() { return pendingOutput_.queued(); }

int Resampler::presets(const PresetRecord** table) {
    *table = kResamplerPresets.records;
    return kResamplerPresets.count;
}

int Resampler::presetCount() { return kResamplerPresets.count; }

double Resampler::displayValue(int parameterIndex, double value) {
    return parameterIndex == 0 ? kRatio.shown(value) : value;
}

int Resampler::reset() {
    pendingInput_ = 0;
    pendingOutput_.clear();
    openConverters();
    return 0;
}

void Resampler::redesign() {
    if (factor_ != openFactor_) openConverters();
}

void Resampler::openConverters() {
    for (ResampleConverter& converter : converters_) converter.open(factor_);
    openFactor_ = factor_;
}

void Resampler::appendInput(const double* in, int count) {
    if (count <= 0) return;
    if (pendingInput_ + count > capacityA_) growA(pendingInput_ + count, pendingInput_);
    std::memcpy(bufferA_.get() + pendingInput_, in, sizeof(double) * count);
    pendingInput_ += count;
}

void Resampler::ensurePlanes(int inputPlane, int outputPlane) {
    const size_t in = static_cast<size_t>(channels_) * inputPlane;
    const size_t out = static_cast<size_t>(channels_) * outputPlane;
    if (inputPlanes_.size() < in) inputPlanes_.resize(in);
    if (outputPlanes_.size() < out) outputPlanes_.resize(out);
}

int Resampler::process(const double* in, double* out, int inCount, int outCapacity, int /*channelMask*/) {
    appendInput(in, inCount);  // before anything is written to out, which may be in
    redesignIfRequested();

    const int C = channels_;
    // Room per channel: about what this block's input becomes. Output the room
    // cannot take waits inside the converters and comes first next time.
    const int room = static_cast<int>(inCount * factor_ / C);
    const int frames = pendingInput_ / C;
    ensurePlanes(frames, room);

    int written = 0, used = 0;
    for (int c = 0; c < C; ++c) {
        float* inPlane = inputPlanes_.data() + static_cast<size_t>(c) * frames;
        float* outPlane = outputPlanes_.data() + static_cast<size_t>(c) * room;
        const double* from = bufferA_.get() + c;
        for (int i = 0; i < frames; ++i) inPlane[i] = static_cast<float>(from[i * C]);
        // The channels run in step: every converter takes and gives the same counts.
        written = converters_[c].process(inPlane, frames, &used, outPlane, room);
    }

    double* queue = pendingOutput_.reserve(C * written);
    for (int c = 0; c < C; ++c) {
        const float* outPlane = outputPlanes_.data() + static_cast<size_t>(c) * room;
        for (int i = 0; i < written; ++i) queue[i * C + c] = outPlane[i];
    }
    pendingOutput_.commit(C * written);

    const int consumed = C * used;
    pendingInput_ -= consumed;
    std::memmove(bufferA_.get(), bufferA_.get() + consumed, sizeof(double) * pendingInput_);

    return pendingOutput_.deliver(out, outCapacity);
}
