#pragma once

#include <memory>
#include <vector>

#include "effects/spatial/reverb_channel.h"
#include "framework/follower_channels.h"
#include "framework/module_random.h"
#include "framework/parameter_info.h"
#include "framework/planar_effect.h"

// Room reverb: the listener in a shoebox room with one source, each of the
// first two channels rendered at one ear (channel 0 the left, channel 1 the
// right; a mono stream uses the left ear). Parameters: "Size" (scale of the
// room and the positions), "RefC" (reflection coefficient of every wall),
// "DirR", "RefR" and "RevR" (levels of the direct sound, the early
// reflections and the late tail). A parameter change rebuilds the responses
// at the next process. Channels past the second hold no ear: they come back
// dry, delayed by the convolution's latency (one partition), in line with
// the pair.
//
// The tail is random: each rebuild seeds it from the clock's second, as the
// player does, unless fixRandomSeed has fixed the seed (the command line).
class ModalReverb : public PlanarEffect {
public:
    // Whole seconds of the current time: the seed of the random tail.
    using SecondsClock = long long (*)();
    static long long wallClockSeconds();

    ModalReverb(double sampleRate, int channels, SecondsClock clock = wallClockSeconds);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    // Silences every convolver's history and queues, and buffers A and B.
    int reset() override;
    void processPlanes(int channelMask) override;
    // One partition of the convolution: 2048 frames.
    int latencyFrames() override;
    // The longest ear's response, at most kTailReverberationTimes times the
    // room's reverberation time T60. The response normally ends first (its
    // tail spans one T60 from the strongest reflection, falling 61 dB), and
    // past it the output is exactly silent.
    int64_t tailFrames() override;
    void fixRandomSeed(uint32_t seed) override;
    // Each ear's convolver steps its coarse levels on a thread.
    void setBackgroundWork(bool on) override;

    // The rendering channels (one per ear in use).
    int reverbChannelCount() const { return static_cast<int>(ears_.size()); }
    const ReverbChannel& reverbChannel(int c) const { return *ears_[c]; }

    static constexpr double kMinSize = 1.0, kMaxSize = 12.0, kDefaultSize = 2.0;
    static constexpr double kMinReflection = 0.1, kMaxReflection = 0.99, kDefaultReflection = 0.85;
    static constexpr double kDefaultDirect = 0.2, kDefaultReflections = 0.3, kDefaultReverberation = 0.5;
    // The levels a new module renders with until its first setParameters.
    static constexpr double kConstructionLevel = 0.33;
    // How many reverberation times (T60) a tail may ring at most.
    static constexpr double kTailReverberationTimes = 1.5;

protected:
    void captureDesignRequest() override;
    // Builds every ear's response for the requested room and mix.
    void buildDesign() override;
    void swapDesign() override;

private:
    void placeEars(double size, double reflection);

    double sampleRate_;
    SecondsClock clock_;
    ModuleRandom random_;
    RoomGeometry geometry_[2];
    ReverbMix mix_;
    RoomGeometry requestedGeometry_[2];
    ReverbMix requestedMix_{};
    // The seed in place of the clock's second, when fixed.
    bool seedFixed_ = false;
    uint32_t fixedSeed_ = 0;
    bool requestedSeedFixed_ = false;
    uint32_t requestedSeed_ = 0;
    FollowerChannels followers_;
    std::vector<std::unique_ptr<ReverbChannel>> ears_;
};
