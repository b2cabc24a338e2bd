#pragma once

#include "effects/spatial/channel_pair_effect.h"
#include "framework/real_fft.h"
#include "framework/parameter_info.h"

// "Spacial-DeVocal Stereo": in every bin of the lower half of the spectrum
// (up to a quarter of the sample rate) estimates the component the two
// channels share after a pan weighting, the multiple of a projection vector
// that leaves the two residuals uncorrelated, and adds it back times "Vocal":
// -1 removes it, 0 leaves the signal as it is, above 0 boosts it. The stereo
// image of everything else stays.
class DeVocalStereo : public ChannelPairEffect {
public:
    DeVocalStereo(double sampleRate, int streamChannels);

    // The maximum of "Hi F" follows the sample rate.
    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    // Combines both channels whatever the mask; the framework emits a channel
    // outside the mask from its input.
    void processFrame(int channelMask) override;

    double vocal() const { return vocal_; }
    double pan() const { return pan_; }
    // Held and saved with the settings; the processing does not read them.
    double lowFrequency() const { return lowFrequency_; }
    double highFrequency() const { return highFrequency_; }
    // The last bin changed: bins 1 .. lastBin() have their real part in the
    // lower half of the packed spectrum.
    int lastBin() const;

private:
    void separateBins(double* left, double* right) const;

    double vocal_ = -1.0;
    double pan_ = 0.0;
    RealFft transform_;
    int binCount_;
    double lowFrequency_ = 100.0;
    double highFrequency_ = 16000.0;
};
