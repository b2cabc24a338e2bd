#pragma once

#include <vector>

#include "effects/eq/biquad_section.h"
#include "effects/eq/eq_band_table.h"
#include "framework/parameter_info.h"
#include "framework/planar_effect.h"
#include "framework/preset_record.h"

// Graphic equaliser: every channel runs through a cascade of second-order
// sections, a low shelf for the lowest band, a peaking section for each inner
// band and a high shelf for the highest. One parameter per band: its gain in dB.
//
// Bands whose centre lies above half the sample rate are dropped (the last
// remaining band becomes the high shelf); their sliders are still described
// but have no effect.
class GraphicEqualizer : public PlanarEffect {
public:
    // presets: the family's preset table, handed out by presets().
    GraphicEqualizer(double sampleRate, int channels, const EqBandTable& table, PresetTable presets = kNoPresets);

    // One slider per band of the table, its gain in dB.
    static int bandParameters(const EqBandTable& table, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    // Stores the gains and marks the sections for redesign at the next process.
    void setParameters(const double* values) override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    int reset() override;
    void processPlanes(int channelMask) override;

    int bandCount() const { return bandCount_; }
    int effectiveBandCount() const { return effectiveBandCount_; }
    double sampleRate() const { return sampleRate_; }
    // The section of band b (below the effective count) as currently designed.
    const BiquadSection& section(int band) const { return sections_[band]; }
    // Magnitude of the whole cascade at frequency (Hz), from the designed sections.
    double magnitudeAt(double frequency) const;

    static constexpr double kMaxGainDb = 18.0;
    static constexpr double kMinGainDb = -18.0;

protected:
    void captureDesignRequest() override;
    // Designs the staged sections from the requested gains.
    void buildDesign() override;
    void swapDesign() override;

private:
    static int countEffectiveBands(const EqBandTable& table, double sampleRate);
    void designSections(const std::vector<double>& gainsDb, std::vector<BiquadSection>& sections) const;
    void filterSelected(const double* in, double* out, BiquadState* states, int frames) const;
    void filterUnselected(const double* in, double* out, BiquadState* states, int frames) const;
    // Selected channels channel and channel + 1 together, for up to
    // kMaxPairBands bands.
    void filterPair(int channel, int frames);
    static constexpr int kMaxPairBands = 32;

    double sampleRate_;
    const EqBandTable& table_;
    PresetTable presets_;
    int bandCount_;
    int effectiveBandCount_;
    std::vector<BiquadSection> sections_;  // one per effective band
    std::vector<BiquadState> states_;      // channel c, band b at c * effective count + b
    std::vector<double> gainsDb_;          // one per effective band, as stored last
    std::vector<double> requestedGainsDb_;  // the gains the staged sections are designed for
    std::vector<BiquadSection> stagedSections_;
};
