#include "framework/module_factory.h"

#include <new>
#include <typeinfo>

#include "effects/distortion/vibrato.h"
#include "effects/eq/eq_band_table.h"
#include "effects/eq/graphic_equalizer.h"
#include "host/plugin_state.h"

namespace {

constexpr int kPassThroughCapacity = 6000;

}  // namespace

std::unique_ptr<EffectModule> createModule(int moduleIndex, int rate, int channels) {
    (void)rate;
    (void)channels;
    switch (moduleIndex) {
        // Modules are added here as they are built; until then an index
        // yields the pass-through module.
        case 1:  // "Restoration-DeClick"

        case 2:  // "Restoration-DeHiss"

        case 3:  // "Restoration-DeNoise"

        case 4:  // "GEQ-  3 Bands 8/3 Oct"

        case 5:  // "GEQ-10 Bands 1    Oct"

        case 6:  // "GEQ-15 Bands 2/3 Oct"

        case 7:  // "GEQ-20 Bands 1/2 Oct"

        case 8:  // "GEQ-31 Bands 1/3 Oct"
            // Guarded: cases above that are still empty fall through to here.
            if (const EqBandTable* table = eqBandTableFor(moduleIndex))
                return std::make_unique<GraphicEqualizer>(rate, channels, *table);
            [[fallthrough]];
        case 9:  // "Spacial-DeVocal Mono"

        case 10:  // "Spacial-DeVocal Stereo"

        case 11:  // "Spacial-ModalReverb"

        case 12:  // "Spacial-Virtual3D"

        case 13:  // "T/P-Resampler"

        case 14:  // "T/P-TempoScaler"

        case 15:  // "T/P-PitchScaler"

        case 16:  // "Distortion-Vibrato"
            if (moduleIndex == 16) return std::make_unique<Vibrato>(rate, channels, 8.0, 0.001);
            [[fallthrough]];
        case 17:  // "Distortion-Whisper"

        default:
            return std::make_unique<EffectModule>(kPassThroughCapacity);
    }
}

void ModuleFactory(int rate, int channels, bool keep) {
    CurrentModule.reset();
    try {
        CurrentModule = createModule(ModuleIndex, rate, channels);
    } catch (const std::bad_alloc&) {
        CurrentModule.reset();
        ParameterCount = 0;
        return;
    }
    ParameterCount = CurrentModule->describeParameters(ParameterDescriptors);
    if (keep) {
        CurrentModule->setParameters(ParameterValues);
        return;
    }
    MasterGain = 1.0;
    for (int k = 0; k < ParameterCount; ++k) ParameterValues[k] = ParameterDescriptors[k].defaultValue;
}


bool moduleImplemented(int moduleIndex) {
    if (moduleIndex == 0) return true;
    if (moduleIndex < 0 || moduleIndex >= 18) return false;
    std::unique_ptr<EffectModule> module = createModule(moduleIndex, 44100, 2);
    return typeid(*module) != typeid(EffectModule);
}
