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

template <int Family>
std::unique_ptr<EffectModule> buildEqualizer(int rate, int channels) {
    return std::make_unique<GraphicEqualizer>(rate, channels, kEqBandTables[Family]);
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

// Row k is module index k.
const ModuleRow kRows[] = {
    {WHITE "Level Tuning", nullptr, kNoPresets},
    {BLACK "Restoration-DeClick", buildBlock<DeClick>, kNoPresets},
    {BLACK "Restoration-DeHiss", buildBlock<DeHiss>, kNoPresets},
    {BLACK "Restoration-DeNoise", buildBlock<DeNoise>, kNoPresets},
    {WHITE "GEQ-  3 Bands 8/3 Oct", buildEqualizer<0>, kEq3BandPresets},
    {WHITE "GEQ-10 Bands 1    Oct", buildEqualizer<1>, kEq10BandPresets},
    {WHITE "GEQ-15 Bands 2/3 Oct", buildEqualizer<2>, kEq15BandPresets},
    {WHITE "GEQ-20 Bands 1/2 Oct", buildEqualizer<3>, kEq20BandPresets},
    {WHITE "GEQ-31 Bands 1/3 Oct", buildEqualizer<4>, kEq31BandPresets},
    {BLACK "Spacial-DeVocal Mono", buildBlock<DeVocalMono>, kDeVocalMonoPresets},
    {BLACK "Spacial-DeVocal Stereo", buildBlock<DeVocalStereo>, kDeVocalStereoPresets},
    {BLACK "Spacial-ModalReverb", buildBlock<ModalReverb>, kModalReverbPresets},
    {BLACK "Spacial-Virtual3D", buildVirtual3DWithEmbeddedTable, kVirtual3DPresets},
    {WHITE "T/P-Resampler", buildResampler, kResamplerPresets},
    {WHITE "T/P-TempoScaler", buildBlock<TempoScaler>, kTempoScalerPresets},
    {WHITE "T/P-PitchScaler", buildBlock<PitchScaler>, kPitchScalerPresets},
    {BLACK "Distortion-Vibrato", buildVibrato, kNoPresets},
    {BLACK "Distortion-Whisper", buildBlock<Whisper>, kNoPresets},
    {BLACK "Dist-ASImpact", nullptr, kNoPresets},
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
    // "Dist-ASImpact" is never offered; were it current, it passes through.
    const ModuleRow& row = moduleRow(moduleIndex);
    if (row.build && moduleIndex != kModuleAsImpact) return row.build(rate, channels);
    return std::make_unique<EffectModule>(kPassThroughCapacity);
}

bool moduleImplemented(int moduleIndex) {
    if (moduleIndex < 0 || moduleIndex > kLastSelectableModule) return false;
    return moduleIndex == kModuleLevelTuning || moduleRow(moduleIndex).build != nullptr;
}

PresetTable presetTableFor(int moduleIndex) {
    if (moduleIndex < 0 || moduleIndex >= kModuleNameCount) return kNoPresets;
    return moduleRow(moduleIndex).presets;
}

const EqBandTable* eqBandTableFor(int moduleIndex) {
    if (moduleIndex < kModuleFirstEqualizer || moduleIndex > kModuleLastEqualizer) return nullptr;
    return &kEqBandTables[moduleIndex - kModuleFirstEqualizer];
}

const char* moduleNameText(int index) { return moduleRow(index).name + 2; }

bool moduleNameBlackMarker(int index) { return static_cast<unsigned char>(moduleRow(index).name[1]) == 0xF4; }
