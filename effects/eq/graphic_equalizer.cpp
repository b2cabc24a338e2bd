#include "effects/eq/graphic_equalizer.h"

#include <algorithm>
#include <cstring>

#include "framework/double_pair.h"
#include "framework/tiny_state.h"

namespace {

// Captions are at most five characters: copy six bytes with the terminator.
constexpr size_t kLabelBytes = 6;

}  // namespace

GraphicEqualizer::GraphicEqualizer(double sampleRate, int channels, const EqBandTable& table, PresetTable presets)
    : PlanarEffect(channels, kModuleCapacity),
      sampleRate_(sampleRate),
      table_(table),
      presets_(presets),
      bandCount_(table.bandCount),
      effectiveBandCount_(countEffectiveBands(table, sampleRate)),
      sections_(effectiveBandCount_),
      states_(static_cast<size_t>(effectiveBandCount_) * channels),
      gainsDb_(effectiveBandCount_, 0.0),
      requestedGainsDb_(effectiveBandCount_, 0.0),
      stagedSections_(effectiveBandCount_) {
    designSections(gainsDb_, sections_);
}

// The first centre frequency strictly above half the rate ends the effective
// bands; a centre exactly at half the rate stays.
int GraphicEqualizer::countEffectiveBands(const EqBandTable& table, double sampleRate) {
    const double nyquist = sampleRate / 2.0;
    for (int b = 0; b < table.bandCount; ++b)
        if (table.centreFrequencies[b] > nyquist) return b;
    return table.bandCount;
}

int GraphicEqualizer::bandParameters(const EqBandTable& table, ParameterInfo* out) {
    for (int b = 0; b < table.bandCount; ++b) {
        ParameterInfo& p = out[b];
        p = ParameterInfo{
            {{}, kMaxGainDb, kMinGainDb, 0.0}, "dB", "gain of the band around its centre frequency", nullptr};
        std::strncpy(p.descriptor.name, table.bandLabels[b], kLabelBytes - 1);
    }
    return table.bandCount;
}

int GraphicEqualizer::describeParameters(ParamDescriptor* descriptors) {
    ParameterInfo bands[kMaxParameters];
    return copyDescriptors(bands, bandParameters(table_, bands), descriptors);
}

void GraphicEqualizer::setParameters(const double* values) {
    std::copy(values, values + effectiveBandCount_, gainsDb_.begin());
    requestRedesign();
}

int GraphicEqualizer::presets(const PresetRecord** table) {
    *table = presets_.records;
    return presets_.count;
}

int GraphicEqualizer::presetCount() { return presets_.count; }

int GraphicEqualizer::reset() {
    std::fill(states_.begin(), states_.end(), BiquadState{});
    return EffectModule::reset();
}

// Low shelf for band 0, peaking sections in between, high shelf for the last
// band; designed last, so a single band is a high shelf.
void GraphicEqualizer::designSections(const std::vector<double>& gainsDb, std::vector<BiquadSection>& sections) const {
    const int n = effectiveBandCount_;
    const double* f = table_.centreFrequencies;
    if (n == 0) return;
    sections[0] = BiquadSection::lowShelf(f[0], sampleRate_, gainsDb[0]);
    for (int b = 1; b < n - 1; ++b)
        sections[b] = BiquadSection::peaking(f[b], sampleRate_, table_.bandwidth, gainsDb[b]);
    sections[n - 1] = BiquadSection::highShelf(f[n - 1], sampleRate_, gainsDb[n - 1]);
}

double GraphicEqualizer::magnitudeAt(double frequency) const {
    double magnitude = 1.0;
    for (const BiquadSection& s : sections_) magnitude *= s.magnitudeAt(frequency, sampleRate_);
    return magnitude;
}

void GraphicEqualizer::captureDesignRequest() { requestedGainsDb_ = gainsDb_; }

void GraphicEqualizer::buildDesign() { designSections(requestedGainsDb_, stagedSections_); }

void GraphicEqualizer::swapDesign() { sections_.swap(stagedSections_); }

void GraphicEqualizer::processPlanes(int channelMask) {
    const int frames = inputFrames();
    for (int c = 0; c < channels_; ++c) {
        // A selected pair runs together; an unselected channel feeds every
        // section its raw input, so it runs alone.
        if (c + 1 < channels_ && effectiveBandCount_ <= kMaxPairBands && channelSelected(c, channelMask) &&
            channelSelected(c + 1, channelMask)) {
            filterPair(c, frames);
            ++c;
            continue;
        }
        BiquadState* states = states_.data() + static_cast<size_t>(c) * effectiveBandCount_;
        if (channelSelected(c, channelMask))
            filterSelected(inputPlane(c), outputPlane(c), states, frames);
        else
            filterUnselected(inputPlane(c), outputPlane(c), states, frames);
    }
    for (BiquadState& state : states_) {
        state.z1 = flushTiny(state.z1);
        state.z2 = flushTiny(state.z2);
    }
}

// Each sample passes through the whole cascade before the next one. The
// result is the same as filtering the block band after band, but the sections
// of one sample do not wait on each other, so the processor overlaps them.
void GraphicEqualizer::filterSelected(const double* in, double* out, BiquadState* states, int frames) const {
    const BiquadSection* sections = sections_.data();
    const int bands = effectiveBandCount_;
    for (int i = 0; i < frames; ++i) {
        double x = in[i];
        for (int b = 0; b < bands; ++b) x = runSection(sections[b], states[b], x);
        out[i] = x;
    }
}

// Two channels at once, one in each lane of a register: every operation is
// the one runSection does, in the same order, so each lane's result is what
// the channel alone would give.
void GraphicEqualizer::filterPair(int channel, int frames) {
    const int bands = effectiveBandCount_;
    DoublePair b0[kMaxPairBands], b1[kMaxPairBands], b2[kMaxPairBands], a1[kMaxPairBands], a2[kMaxPairBands];
    DoublePair z1[kMaxPairBands], z2[kMaxPairBands];
    BiquadState* first = states_.data() + static_cast<size_t>(channel) * bands;
    BiquadState* second = first + bands;
    for (int b = 0; b < bands; ++b) {
        const BiquadSection& s = sections_[b];
        b0[b] = splatPair(s.b0);
        b1[b] = splatPair(s.b1);
        b2[b] = splatPair(s.b2);
        a1[b] = splatPair(s.a1);
        a2[b] = splatPair(s.a2);
        z1[b] = DoublePair{first[b].z1, second[b].z1};
        z2[b] = DoublePair{first[b].z2, second[b].z2};
    }
    const double* inFirst = inputPlane(channel);
    const double* inSecond = inputPlane(channel + 1);
    double* outFirst = outputPlane(channel);
    double* outSecond = outputPlane(channel + 1);
    for (int i = 0; i < frames; ++i) {
        DoublePair x = {inFirst[i], inSecond[i]};
        for (int b = 0; b < bands; ++b) {
            const DoublePair y = b0[b] * x + z1[b];
            z1[b] = b1[b] * x + z2[b] - a1[b] * y;
            z2[b] = b2[b] * x - a2[b] * y;
            x = y;
        }
        outFirst[i] = x[0];
        outSecond[i] = x[1];
    }
    for (int b = 0; b < bands; ++b) {
        first[b] = BiquadState{z1[b][0], z2[b][0]};
        second[b] = BiquadState{z1[b][1], z2[b][1]};
    }
}

// An unselected channel passes unchanged, but every section still runs on the
// channel's input so its state keeps following the signal.
void GraphicEqualizer::filterUnselected(const double* in, double* out, BiquadState* states, int frames) const {
    const BiquadSection* sections = sections_.data();
    const int bands = effectiveBandCount_;
    for (int i = 0; i < frames; ++i) {
        const double x = in[i];
        for (int b = 0; b < bands; ++b) runSection(sections[b], states[b], x);
        out[i] = x;
    }
}
