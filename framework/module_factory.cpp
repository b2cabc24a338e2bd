#include "framework/module_factory.h"

#include <new>
#include <typeinfo>

#include "effects/distortion/vibrato.h"
#include "effects/restoration/de_click.h"
#include "effects/restoration/de_hiss.h"
#include "effects/restoration/de_noise.h"
#include "effects/eq/eq_band_table.h"
#include "effects/eq/graphic_equalizer.h"
#include "host/plugin_state.h"

namespace {

constexpr int kPassThroughCapacity = 6000;
// The vibrato is built with its rate in Hz and its delay in seconds.
constexpr double kVibratoFrequency = 8.0;
constexpr double kVibratoDelay = 0.001;

}  // namespace

std::unique_ptr<EffectModule> createModule(int moduleIndex, int rate, int channels) {
    switch (moduleIndex) {
        case 1:  // "Restoration-DeClick"
            return std::make_unique<DeClick>(rate, channels);
        case 2:  // "Restoration-DeHiss"
            return std::make_unique<DeHiss>(rate, channels);
        case 3:  // "Restoration-DeNoise"
            return std::make_unique<DeNoise>(rate, channels);
        case 4:  // "GEQ-  3 Bands 8/3 Oct" .. "GEQ-31 Bands 1/3 Oct"
        case 5:
        case 6:
        case 7:
        case 8:
            return std::make_unique<GraphicEqualizer>(rate, channels, *eqBandTableFor(moduleIndex));
        case 16:  // "Distortion-Vibrato"
            return std::make_unique<Vibrato>(rate, channels, kVibratoFrequency, kVibratoDelay);
        default:
            // "Level Tuning", "Dist-ASImpact", any other index, and the
            // modules not built yet (9 to 15 and 17) pass the audio through.
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
