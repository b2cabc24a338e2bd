#include "effects/spatial/reverb_channel.h"

#include <algorithm>

#include "effects/spatial/early_reflections.h"
#include "effects/spatial/reverb_tail.h"
#include "framework/tiny_state.h"

namespace {

constexpr double kResponseScale = 0.1;

}  // namespace

ReverbChannel::ReverbChannel(double sampleRate, const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random)
    : convolver_(kPartitionLength), sampleRate_(sampleRate), geometry_(ear), mix_(mix) {
    rebuild(ear, mix, random);
}

void ReverbChannel::rebuild(const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random) {
    geometry_ = ear;
    mix_ = mix;
    reverberationTime_ = eyringTime(geometry_);
    const EarlyReflections early(geometry_, sampleRate_, reverberationTime_);
    directDelay_ = early.directDelay();
    tailStart_ = early.strongestPosition();
    spacing_ = early.spacing();
    cutoff_ = early.cutoff();
    smoothing_ = early.smoothing();

    tail_.resize(static_cast<size_t>(reverberationTime_ * sampleRate_));
    generateReverbTail(random, tailStart_, spacing_, tail_.data(), static_cast<int>(tail_.size()));
    assembleResponse(early.response());
    convolver_.loadResponse(response_.data(), static_cast<int>(response_.size()));
}

// Tail from its start and the reflections, weighted; smoothed (a value that
// decays below the flushing threshold becomes zero); the direct impulse added
// unsmoothed; all scaled by 0.1.
void ReverbChannel::assembleResponse(const std::vector<double>& early) {
    const size_t length = std::max(tailStart_ + tail_.size(), early.size());
    response_.assign(length, 0.0);
    for (size_t i = 0; i < tail_.size(); ++i) response_[tailStart_ + i] = tail_[i] * mix_.reverberation;
    for (size_t i = 0; i < early.size(); ++i) response_[i] += early[i] * mix_.reflections;

    const double p = smoothing_;
    response_[0] = (1.0 - p) * response_[0];
    for (size_t k = 1; k < length; ++k) response_[k] = flushTiny(p * response_[k - 1] + (1.0 - p) * response_[k]);
    if (static_cast<size_t>(directDelay_) < length) response_[directDelay_] += mix_.direct;
    for (double& v : response_) v *= kResponseScale;
}
