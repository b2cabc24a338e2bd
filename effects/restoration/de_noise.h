#pragma once

#include <vector>

#include "framework/block_effect.h"
#include "framework/parameter_info.h"
#include "framework/real_fft.h"

// "Restoration-DeNoise": learns the power spectrum of a steady background
// noise from the first frames (outputting silence meanwhile), then attenuates
// every bin with a decision-directed a-priori SNR estimate and a Wiener gain.
class DeNoise : public BlockEffect {
public:
    DeNoise(double sampleRate, int channels);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    void processFrame(int channelMask) override;

    // Forgets the learned profile and learns again from the next frames. The
    // restarted frame count also restarts the start-up emission of the
    // frames, so the output skips one overlap.
    void snapNoise() override;

    bool captured() const { return captured_; }
    int learnedFrameCount() const { return learnedFrames_; }
    double thresh() const { return thresh_; }
    double noiseLength() const { return noiseLength_; }

private:
    struct FrameGains;

    FrameGains gainsForFrame() const;
    // Frames whose counter lies in [learningStart, learningEnd] are learned.
    int learningStart() const;
    int learningEnd() const;
    void learnNoise(const double* spectrum, double* noisePower) const;
    void suppress(double* spectrum, int channel, const FrameGains& gains);
    void captureProfile();

    RealFft transform_;
    int binCount_;
    double thresh_ = 0.5;
    // Per channel c, bin k at c * binCount_ + k.
    std::vector<double> noisePower_;
    // 1 / (P + floor) of the captured profile: the per-bin division by the
    // noise power becomes a product while suppressing.
    std::vector<double> inverseNoise_;
    std::vector<double> smoothedMagnitude_;
    std::vector<double> gain_;
    std::vector<double> previousPosteriorSnr_;
    int learnedFrames_ = 0;
    double noiseLength_ = 0.25;
    bool captured_ = false;
};
