#pragma once

#include <vector>

#include "framework/block_effect.h"
#include "framework/parameter_info.h"
#include "framework/module_random.h"
#include "framework/real_fft.h"

// "Distortion-Whisper": turns voiced sound into a whisper by giving every
// spectral bin of short frames (0.01 s, quarter-frame hop) a random phase
// while keeping its magnitude. "Wet" blends the random phase with the bin's
// own: 1 is fully random, 0 keeps the input. The random sequence is the
// module's own, restarted from seed 12345 by every construction, so two
// modules fed the same input give the same output.
class Whisper : public BlockEffect {
public:
    Whisper(double sampleRate, int channels);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    // A channel outside the mask keeps its plane and draws no numbers.
    void processFrame(int channelMask) override;

    double wet() const { return wet_; }

    static constexpr uint32_t kSeed = 12345;

private:
    void whisperPlane(double* plane);

    RealFft transform_;
    int binCount_;
    ModuleRandom random_;
    double wet_ = 1.0;
    // Unit phasor of the random angle of every value the generator can draw.
    struct Phasor {
        double sin;
        double cos;
    };
    std::vector<Phasor> randomPhasors_;
};
