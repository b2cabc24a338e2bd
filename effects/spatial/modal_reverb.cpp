#include "effects/spatial/modal_reverb.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "effects/spatial/spatial_presets.h"

long long ModalReverb::wallClockSeconds() { return static_cast<long long>(std::time(nullptr)); }

ModalReverb::ModalReverb(double sampleRate, int channels, SecondsClock clock)
    : PlanarEffect(channels, 5000),
      sampleRate_(sampleRate),
      clock_(clock),
      mix_{kConstructionLevel, kConstructionLevel, kConstructionLevel},
      followers_(channels - 2, ReverbChannel::kPartitionLength) {
    placeEars(kDefaultSize, kDefaultReflection);
    const int ears = std::min(channels, 2);
    for (int c = 0; c < ears; ++c) {
        random_.seed(static_cast<uint32_t>(clock_()));
        ears_.push_back(std::make_unique<ReverbChannel>(sampleRate_, geometry_[c], mix_, random_));
    }
}

namespace {

const ParameterInfo kParameters[] = {
    {{"Size", ModalReverb::kMaxSize, ModalReverb::kMinSize, ModalReverb::kDefaultSize}, "", "scale of the room",
     nullptr},
    {{"RefC", ModalReverb::kMaxReflection, ModalReverb::kMinReflection, ModalReverb::kDefaultReflection}, "",
     "reflection coefficient of the walls", nullptr},
    {{"DirR", 1.0, 0.0, ModalReverb::kDefaultDirect}, "", "level of the direct sound", nullptr},
    {{"RefR", 1.0, 0.0, ModalReverb::kDefaultReflections}, "", "level of the early reflections", nullptr},
    {{"RevR", 1.0, 0.0, ModalReverb::kDefaultReverberation}, "", "level of the late tail", nullptr},
};

}  // namespace

int ModalReverb::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int ModalReverb::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

// Values are held in their ranges: a room of zero size or walls that reflect
// everything have no reverberation time.
void ModalReverb::setParameters(const double* values) {
    mix_ = {std::clamp(values[2], 0.0, 1.0), std::clamp(values[3], 0.0, 1.0), std::clamp(values[4], 0.0, 1.0)};
    placeEars(std::clamp(values[0], kMinSize, kMaxSize), std::clamp(values[1], kMinReflection, kMaxReflection));
    requestRedesign();
}

void ModalReverb::placeEars(double size, double reflection) {
    const RoomGeometry room = scaledRoom(size, reflection);
    for (int c = 0; c < 2; ++c) geometry_[c] = earRoom(room, c);
}

int ModalReverb::presets(const PresetRecord** table) {
    *table = kModalReverbPresets.records;
    return kModalReverbPresets.count;
}

int ModalReverb::presetCount() { return kModalReverbPresets.count; }

int ModalReverb::reset() {
    for (auto& ear : ears_) ear->convolver().reset();
    followers_.reset();
    EffectModule::reset();
    return 0;
}

void ModalReverb::captureDesignRequest() {
    requestedGeometry_[0] = geometry_[0];
    requestedGeometry_[1] = geometry_[1];
    requestedMix_ = mix_;
    requestedSeedFixed_ = seedFixed_;
    requestedSeed_ = fixedSeed_;
}

void ModalReverb::fixRandomSeed(uint32_t seed) {
    seedFixed_ = true;
    fixedSeed_ = seed;
    requestRedesign();
}

// The clock is read for each ear's tail: both ears of one rebuild normally
// share a seed and differ through their own onsets. Only the build draws from
// the generator, so it may do so beside process.
void ModalReverb::buildDesign() {
    for (size_t c = 0; c < ears_.size(); ++c) {
        random_.seed(requestedSeedFixed_ ? requestedSeed_ : static_cast<uint32_t>(clock_()));
        ears_[c]->prepare(requestedGeometry_[c], requestedMix_, random_);
    }
}

void ModalReverb::swapDesign() {
    for (auto& ear : ears_) ear->install();
}

void ModalReverb::processPlanes(int channelMask) {
    const int frames = inputFrames();
    for (int c = 0; c < channels_; ++c) {
        const double* in = inputPlane(c);
        double* out = outputPlane(c);
        if (c >= 2) {
            followers_.push(c - 2, in, frames, 1);
            followers_.pop(c - 2, out, frames, 1);
        } else if (!channelSelected(c, channelMask)) {
            std::copy(in, in + frames, out);
        } else if (ears_[c]->convolver().process(in, out, frames, frames) == 0) {
            std::fill(out, out + frames, 0.0);
        }
    }
}

void ModalReverb::setBackgroundWork(bool on) {
    for (auto& ear : ears_) ear->setBackgroundSteps(on);
}

int ModalReverb::latencyFrames() { return ReverbChannel::kPartitionLength; }

int64_t ModalReverb::tailFrames() {
    int64_t longest = 0;
    for (const auto& ear : ears_) {
        const double ring = std::ceil(kTailReverberationTimes * ear->reverberationTime() * sampleRate_);
        const int64_t response = static_cast<int64_t>(ear->response().size());
        longest = std::max(longest, std::min(response, static_cast<int64_t>(ring)));
    }
    return longest;
}
