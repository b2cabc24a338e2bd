#pragma once

#include <vector>

#include "effects/timepitch/spectrum_resampling.h"
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
//
// Only the bins the resampling reads are analysed, and only the output bins
// it writes are rebuilt: the phase of a bin nobody reads is taken from the
// kept previous spectrum when a new factor starts to read it, and an output
// bin that stays silent keeps a phase that no longer moves, whose values are
// kept too. Both give the same bits as working every bin every frame.
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
    void configure();
    void analyse(const double* spectrum, int channel);
    void synthesise(double* spectrum, int channel);

    RealFft transform_;
    int binCount_;       // K = N / 2 + 1
    double binAdvance_;  // w: a hop's phase advance of a component centred on bin 1
    double pitchFactor_;
    // The advance expected in bin k, k w, summed bin by bin from 0 as the
    // analysis would; bins 0 .. K - 1.
    std::vector<double> expectedAdvance_;
    SpectrumResampling resampling_;
    bool configured_ = false;
    // Per channel c, bin k at c K + k.
    std::vector<double> outputPhase_;
    // Per channel c at c N: the bins of the last analysed spectrum that the
    // resampling does not read (the others' phases are kept as previous
    // phases), and the values of the output bins from the resampling's written
    // end up, while they are settled.
    std::vector<double> lastSpectrum_;
    std::vector<double> silentBins_;
    std::vector<char> settled_;
    // Per channel: a frame was analysed with the factor in force.
    std::vector<char> analysed_;
    // The inner bins the resampling does not read, as runs (first bin, count)
    // that may take in a few read bins between them.
    std::vector<int> unreadFirst_, unreadCount_;
    // Per channel c at c K, while a new factor is set up: the previous phase
    // of every bin.
    std::vector<double> binPhase_;
    // Indexed by place in the resampling's sources: per channel c at c K, the
    // previous phase; the frame's spectrum and its analysis.
    std::vector<double> previousPhase_;
    std::vector<double> sourceExpected_;
    std::vector<double> re_, im_;
    std::vector<double> magnitude_;
    std::vector<double> advance_;
    // The resampled spectra, output bins 0 .. K - 1.
    std::vector<double> newMagnitude_;
    std::vector<double> newAdvance_;
};
