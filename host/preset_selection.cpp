#include "host/preset_selection.h"

#include "host/plugin_state.h"

namespace {

// The caller holds the processing lock: the audio thread may replace the
// module at any block.
PresetTable currentPresets() {
    if (!CurrentModule) return kNoPresets;
    const PresetRecord* records = nullptr;
    const int count = CurrentModule->presets(&records);
    return records && count > 0 ? PresetTable{records, count} : kNoPresets;
}

}  // namespace

bool applyPreset(int sel, PresetSliderPositions* sliders) {
    ProcessingLock::Guard guard(ModuleLock);
    PresetChoice choice;
    if (!choosePreset(currentPresets(), sel, ParameterDescriptors, ParameterCount, PluginSettings, &choice)) {
        return false;
    }
    PresetIndex = sel;
    MasterGain = choice.masterGain;
    for (int k = 0; k < ParameterCount; ++k) ParameterValues[k] = choice.values[k];
    CurrentModule->applyParameters(ParameterValues);
    if (sliders) *sliders = choice.sliders;
    return true;
}

int findPreset(const char* name) {
    ProcessingLock::Guard guard(ModuleLock);
    return findPresetIn(currentPresets(), name);
}
