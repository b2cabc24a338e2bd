#pragma once

#include <vector>

#include "effects/spatial/channel_pair_effect.h"
#include "framework/real_fft.h"
#include "framework/parameter_info.h"

// "Spacial-DeVocal Mono": removes a source panned at p inside a frequency
// band. In the band both outputs carry half the weighted difference
// D = (1 + p) L - (1 - p) R in opposite polarity, so whatever sits in the two
// inputs as L = (1 - p) s, R = (1 + p) s cancels; outside the band the
// channels pass, with a two-bin taper at each edge.
class DeVocalMono : public ChannelPairEffect {
public:
    DeVocalMono(double sampleRate, int streamChannels);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    // Stores the values; the band mask is rebuilt before the next frame.
    void setParameters(const double* values) override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    // Combines both channels whatever the mask; the framework emits a channel
    // outside the mask from its input.
    void processFrame(int channelMask) override;

    double lowFrequency() const { return lowFrequency_; }
    double highFrequency() const { return highFrequency_; }
    double pan() const { return pan_; }
    // The band weight of every packed-spectrum entry: 1 inside the band, 0
    // outside, 0.5 and 0.001 on the two taper bins at each edge.
    const std::vector<double>& bandMask() const { return bandMask_; }

protected:
    void captureDesignRequest() override;
    // Builds the staged band mask for the requested edges.
    void buildDesign() override;
    void swapDesign() override;

private:
    // The band weights of the packed spectrum and the span that is not 0.
    struct BandMask {
        std::vector<double> weights;
        int firstEntry = 0;
        int lastEntry = -1;
    };

    void designMask(double lowFrequency, double highFrequency, BandMask& mask) const;

    double lowFrequency_ = 200.0;
    double highFrequency_ = 12000.0;
    double pan_ = 0.0;
    RealFft transform_;
    int binCount_;
    std::vector<double> bandMask_;
    // First and last entries of the mask that are not 0.
    int firstEntry_ = 0;
    int lastEntry_ = -1;
    double requestedLow_ = 200.0;
    double requestedHigh_ = 12000.0;
    BandMask staged_;
    std::vector<double> sum_;
};
