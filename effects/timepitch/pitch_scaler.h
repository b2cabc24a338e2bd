#pragma once

#include <vector>

#include "framework/block_effect.h"
#include "framework/parameter_info.h"
#include "framework/real_fft.h"

// "T/P-PitchScaler": transposes the pitch by r = 3^"Pitch" (1/3 to 3)
// without changing the duration, with a phase vocoder on frames of 0.05 s
// overlapping by 7/8. Each frame is analysed into magnitude and true phase
// advance per bin, both spectra are moved along the frequency axis by r (the
// advances scaled by r too), and the frame is rebuilt with phases accumulated
// from the new advances. Selected channels only.
//
// Bins 0 and K - 1 (the constant part and the half-rate component) keep their
// transform values in the output. For the resampling, which reads them as
// neighbours, they stand as their transform magnitudes |X[0]| and |X[K - 1]|
// with the advances 0 and (K - 1) w, the advance of a steady component
// centred on them (w = 2 pi hop / N).
class PitchScaler : public BlockEffect {
public:
    PitchScaler(double sampleRate, int channels, double frameSeconds = 0.05, double hopFraction = 0.125,
                double pitchFactor = 1.0);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    double displayValue(int parameterIndex, double value) override;
    void processFrame(int channelMask) override;

    double pitchFactor() const { return pitchFactor_; }

private:
    void analyse(const double* spectrum, double* previousPhase);
    void synthesise(double* spectrum, double* outputPhase) const;

    RealFft transform_;
    int binCount_;       // K = N / 2 + 1
    double binAdvance_;  // w: a hop's phase advance of a component centred on bin 1
    double pitchFactor_;
    // The advance expected in bin k, k w, summed bin by bin from 0 as the
    // analysis would; bins 0 .. K - 1.
    std::vector<double> expectedAdvance_;
    // Per channel c, bin k at c K + k.
    std::vector<double> previousPhase_;
    std::vector<double> outputPhase_;
    // The frame in analysis, bins 0 .. K - 1, and its resampled spectra.
    std::vector<double> magnitude_;
    std::vector<double> advance_;
    std::vector<double> newMagnitude_;
    std::vector<double> newAdvance_;
};
