#include "host/control_commands.h"

#include "framework/slider_scale.h"
#include "host/module_factory.h"
#include "host/plugin_state.h"
#include "registry/module_registry.h"

bool selectModule(int selected) {
    if (selected == ModuleIndex || selected < 0 || selected > kLastSelectableModule) return false;
    ProcessingLock::Guard guard(ModuleLock);
    ModuleIndex = selected;
    ModuleFactory(SampleRate, ChannelCount, false);
    RestoreState = kRestoreModuleChanged;
    return true;
}

void moveGainSlider(int position) {
    MasterGain = gainSliderToGain(position);
    PluginSettings[0] = position;
}

void moveParameterSliders(const int* positions, int count) {
    ProcessingLock::Guard guard(ModuleLock);
    for (int k = 0; k < ParameterCount && k < count; ++k) {
        if (positions[k] == kSliderMissing) continue;
        if (k + 1 < kSettingsPresetWord) PluginSettings[k + 1] = positions[k];
        ParameterValues[k] = sliderToValue(ParameterDescriptors[k], positions[k]);
    }
    if (CurrentModule) CurrentModule->applyParameters(ParameterValues);
}

int currentPresetCount() {
    ProcessingLock::Guard guard(ModuleLock);
    return CurrentModule ? CurrentModule->presetCount() : 0;
}

int currentParameterCount() {
    ProcessingLock::Guard guard(ModuleLock);
    return ParameterCount;
}
