#include "registry/module_registry.h"

#include <iterator>

#include "effects/distortion/vibrato.h"
#include "effects/distortion/whisper.h"
#include "effects/eq/eq_band_table.h"
#include "effects/eq/eq_presets.h"
#include "effects/eq/graphic_equalizer.h"
#include "effects/restoration/de_click.h"
#include "effects/restoration/de_hiss.h"
#include "effects/restoration/de_noise.h"
#include "effects/spatial/de_vocal_mono.h"
#include "effects/spatial/de_vocal_stereo.h"
#include "effects/spatial/modal_reverb.h"
#include "effects/spatial/spatial_presets.h"
#include "effects/spatial/virtual_3d.h"
#include "effects/timepitch/pitch_scaler.h"
#include "effects/timepitch/resampler.h"
#include "effects/timepitch/tempo_scaler.h"
#include "effects/timepitch/time_pitch_presets.h"
#include "registry/kernel_table_source.h"

#define WHITE "\xA1\xF3"
#define BLACK "\xA1\xF4"

namespace {

// The vibrato is built with its rate in Hz and its delay in seconds.
constexpr double kVibratoFrequency = 8.0;
constexpr double kVibratoDelay = 0.001;

template <typename Effect>
std::unique_ptr<EffectModule> buildBlock(int rate, int channels) {
    return std::make_unique<Effect>(rate, channels);
}

std::unique_ptr<EffectModule> buildPassThrough(int /*rate*/, int /*channels*/) {
    return std::make_unique<EffectModule>(kPassThroughCapacity);
}

template <int Family>
std::unique_ptr<EffectModule> buildEqualizer(int rate, int channels) {
    return std::make_unique<GraphicEqualizer>(rate, channels, kEqBandTables[Family],
                                              moduleRow(kModuleFirstEqualizer + Family).presets);
}

template <int Family>
int equalizerParameters(double /*sampleRate*/, ParameterInfo* out) {
    return GraphicEqualizer::bandParameters(kEqBandTables[Family], out);
}

// The virtual 3D module reads the kernel table embedded in this build.
std::unique_ptr<EffectModule> buildVirtual3DWithEmbeddedTable(int rate, int channels) {
    return buildVirtual3D(platformKernelTable(), rate, channels);
}

std::unique_ptr<EffectModule> buildResampler(int /*rate*/, int channels) {
    return std::make_unique<Resampler>(channels);
}

std::unique_ptr<EffectModule> buildVibrato(int rate, int channels) {
    return std::make_unique<Vibrato>(rate, channels, kVibratoFrequency, kVibratoDelay);
}

constexpr WindowWidths kNarrow{315, 276};
constexpr WindowWidths kTwoSliders{390, 347};
constexpr WindowWidths kWide{440, 400};

// Row k is module index k.
const ModuleRow kRows[] = {
    {WHITE "Level Tuning", "passes the audio through: only the master gain and the channel choice act",
     buildPassThrough, nullptr, kNoPresets, 0, kNarrow, ModuleKind::kAmplifier},
    {BLACK "Restoration-DeClick", "finds clicks and crackle and fills them in from the signal around them",
     buildBlock<DeClick>, DeClick::parameterInfo, kNoPresets, 0, kNarrow, ModuleKind::kFilter},
    {BLACK "Restoration-DeHiss",
     "lowers broadband hiss, measured in the top of the spectrum, without a learning phase", buildBlock<DeHiss>,
     DeHiss::parameterInfo, kNoPresets, 0, kNarrow, ModuleKind::kSpectral},
    {BLACK "Restoration-DeNoise",
     "learns a steady background noise, then removes it; in a file the first NoiseLen seconds "
     "(and NoiseLen after each --snap-noise) come out silent while it learns",
     buildBlock<DeNoise>, DeNoise::parameterInfo, kNoPresets, kLearnsNoise, kTwoSliders, ModuleKind::kSpectral},
    {WHITE "GEQ-  3 Bands 8/3 Oct",
     "graphic equaliser, 3 bands of 8/3 octave: shelves at 200 Hz and 8 kHz, a peak at 1265 Hz", buildEqualizer<0>,
     equalizerParameters<0>, kEq3BandPresets, 0, kWide, ModuleKind::kEqualiser},
    {WHITE "GEQ-10 Bands 1    Oct", "graphic equaliser, 10 bands of one octave", buildEqualizer<1>,
     equalizerParameters<1>, kEq10BandPresets, 0, kWide, ModuleKind::kEqualiser},
    {WHITE "GEQ-15 Bands 2/3 Oct", "graphic equaliser, 15 bands of 2/3 octave", buildEqualizer<2>,
     equalizerParameters<2>, kEq15BandPresets, 0, {500, 500}, ModuleKind::kEqualiser},
    {WHITE "GEQ-20 Bands 1/2 Oct", "graphic equaliser, 20 bands of 1/2 octave", buildEqualizer<3>,
     equalizerParameters<3>, kEq20BandPresets, 0, {640, 640}, ModuleKind::kEqualiser},
    {WHITE "GEQ-31 Bands 1/3 Oct", "graphic equaliser, 31 bands of 1/3 octave", buildEqualizer<4>,
     equalizerParameters<4>, kEq31BandPresets, 0, {950, 950}, ModuleKind::kEqualiser},
    {BLACK "Spacial-DeVocal Mono",
     "removes a source panned to one place (the centre: lead vocals) within a band, leaving mono",
     buildBlock<DeVocalMono>, DeVocalMono::parameterInfo, kDeVocalMonoPresets, kWorksOnThePair | kTakesOnlyThePair,
     kWide, ModuleKind::kSpatial},
    {BLACK "Spacial-DeVocal Stereo",
     "removes or lifts the part the two channels share within a band, keeping the stereo image",
     buildBlock<DeVocalStereo>, DeVocalStereo::parameterInfo, kDeVocalStereoPresets,
     kWorksOnThePair | kTakesOnlyThePair, kWide, ModuleKind::kSpatial},
    {BLACK "Spacial-ModalReverb",
     "places the listener in a rectangular room with one source: modal room reverb; in a file its tail "
     "rings on past the input's end (--tail)",
     buildBlock<ModalReverb>, ModalReverb::parameterInfo, kModalReverbPresets, kHasTail | kTakesOnlyThePair, kWide, ModuleKind::kReverb},
    {BLACK "Spacial-Virtual3D",
     "places the sound in a chosen direction around the head, with head-related responses; "
     "a mono file comes out stereo, one channel per ear",
     buildVirtual3DWithEmbeddedTable, Virtual3D::parameterInfo, kVirtual3DPresets,
     kWorksOnThePair | kTakesOnlyThePair | kRendersTwoEars, kWide, ModuleKind::kSpatial},
    {WHITE "T/P-Resampler", "varispeed: plays faster and higher or slower and lower", buildResampler,
     Resampler::parameterInfo, kResamplerPresets, kWorksOnThePair | kChangesLength, kWide, ModuleKind::kTimeAndPitch},
    {WHITE "T/P-TempoScaler", "changes the tempo without changing the pitch", buildBlock<TempoScaler>,
     TempoScaler::parameterInfo, kTempoScalerPresets, kWorksOnThePair | kChangesLength, kWide, ModuleKind::kTimeAndPitch},
    {WHITE "T/P-PitchScaler", "changes the pitch without changing the duration", buildBlock<PitchScaler>,
     PitchScaler::parameterInfo, kPitchScalerPresets, 0, kWide, ModuleKind::kPitch},
    {BLACK "Distortion-Vibrato", "pitch vibrato from a swinging delay line", buildVibrato, Vibrato::parameterInfo,
     kNoPresets, 0, kNarrow, ModuleKind::kModulator},
    {BLACK "Distortion-Whisper", "turns voiced sound into a whisper by randomising the phase of the spectrum",
     buildBlock<Whisper>, Whisper::parameterInfo, kNoPresets, 0, kNarrow, ModuleKind::kSpectral},
    // Listed by name only: it is never offered and would pass the audio through.
    {BLACK "Dist-ASImpact", "", nullptr, nullptr, kNoPresets, 0, kNarrow, ModuleKind::kAmplifier},
};
static_assert(std::size(kRows) == kModuleNameCount, "one row per module index");

}  // namespace

#undef WHITE
#undef BLACK

const ModuleRow& moduleRow(int index) {
    if (index < 0 || index >= kModuleNameCount) return kRows[kModuleLevelTuning];
    return kRows[index];
}

std::unique_ptr<EffectModule> createModule(int moduleIndex, int rate, int channels) {
    const ModuleRow& row = moduleRow(moduleIndex);
    return (row.build ? row.build : buildPassThrough)(rate, channels);
}

int describeModuleParameters(int moduleIndex, int sampleRate, ParameterInfo* out) {
    const ModuleRow& row = moduleRow(moduleIndex);
    return row.parameters ? row.parameters(sampleRate, out) : 0;
}

int describeModule(int moduleIndex, int sampleRate, ParamDescriptor* out) {
    ParameterInfo parameters[kMaxParameters];
    return copyDescriptors(parameters, describeModuleParameters(moduleIndex, sampleRate, parameters), out);
}

PresetTable presetTableFor(int moduleIndex) {
    return moduleRow(moduleIndex).presets;
}

const EqBandTable* eqBandTableFor(int moduleIndex) {
    if (moduleIndex < kModuleFirstEqualizer || moduleIndex > kModuleLastEqualizer) return nullptr;
    return &kEqBandTables[moduleIndex - kModuleFirstEqualizer];
}

const char* moduleNameText(int index) { return moduleRow(index).name + 2; }

bool moduleNameBlackMarker(int index) { return static_cast<unsigned char>(moduleRow(index).name[1]) == 0xF4; }
