#include "effects/spatial/reverb_channel.h"

#include <algorithm>

#include "effects/spatial/early_reflections.h"
#include "effects/spatial/reverb_tail.h"
#include "framework/tiny_state.h"

namespace {

constexpr double kResponseScale = 0.1;

}  // namespace

ReverbChannel::ReverbChannel(double sampleRate, const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random)
    : convolver_(kPartitionLength),
      sampleRate_(sampleRate),
      current_(std::make_unique<Design>()),
      staged_(std::make_unique<Design>()) {
    rebuild(ear, mix, random);
}

void ReverbChannel::rebuild(const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random) {
    prepare(ear, mix, random);
    install();
}

void ReverbChannel::prepare(const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random) {
    Design& d = *staged_;
    d.geometry = ear;
    d.mix = mix;
    d.reverberationTime = eyringTime(d.geometry);
    const EarlyReflections early(d.geometry, sampleRate_, d.reverberationTime);
    d.directDelay = early.directDelay();
    d.tailStart = early.strongestPosition();
    d.spacing = early.spacing();
    d.cutoff = early.cutoff();
    d.smoothing = early.smoothing();

    d.tail.resize(static_cast<size_t>(d.reverberationTime * sampleRate_));
    generateReverbTail(random, d.tailStart, d.spacing, d.tail.data(), static_cast<int>(d.tail.size()));
    assembleResponse(early.response(), d);
    convolver_.prepareResponse(d.response.data(), static_cast<int>(d.response.size()), d.spectra);
}

// The design in force goes to the staging slot, to be reused by the next prepare.
void ReverbChannel::install() {
    convolver_.installResponse(staged_->spectra);
    current_.swap(staged_);
}

void ReverbChannel::setBackgroundSteps(bool on) {
    if (on == convolver_.backgroundSteps()) return;
    convolver_.setBackgroundSteps(on);
    const std::vector<double>& response = current_->response;
    convolver_.loadResponse(response.data(), static_cast<int>(response.size()));
}

// Tail from its start and the reflections, weighted; smoothed (a value that
// decays below the flushing threshold becomes zero); the direct impulse added
// unsmoothed; all scaled by 0.1.
void ReverbChannel::assembleResponse(const std::vector<double>& early, Design& d) {
    const size_t length = std::max(d.tailStart + d.tail.size(), early.size());
    std::vector<double>& response = d.response;
    response.assign(length, 0.0);
    for (size_t i = 0; i < d.tail.size(); ++i) response[d.tailStart + i] = d.tail[i] * d.mix.reverberation;
    for (size_t i = 0; i < early.size(); ++i) response[i] += early[i] * d.mix.reflections;

    const double p = d.smoothing;
    response[0] = (1.0 - p) * response[0];
    for (size_t k = 1; k < length; ++k) response[k] = flushTiny(p * response[k - 1] + (1.0 - p) * response[k]);
    if (static_cast<size_t>(d.directDelay) < length) response[d.directDelay] += d.mix.direct;
    for (double& v : response) v *= kResponseScale;
}
