#include "framework/preset_selection.h"

#include <cmath>
#include <cstring>

#include "framework/slider_scale.h"
#include "host/plugin_state.h"

namespace {

int currentPresets(const PresetRecord** table) {
    *table = nullptr;
    if (!CurrentModule) return 0;
    const int count = CurrentModule->presets(table);
    return *table ? count : 0;
}

void pushParameters() {
    ProcessingLock::Guard guard(ModuleLock);
    if (CurrentModule) CurrentModule->setParameters(ParameterValues);
}

}  // namespace

bool applyPreset(int sel, PresetSliderPositions* sliders) {
    const PresetRecord* table = nullptr;
    const int count = currentPresets(&table);
    if (count <= 0 || sel < 0 || sel >= count) return false;

    PresetSliderPositions positions{};
    positions.count = ParameterCount;
    PresetIndex = sel;
    if (sel < count - 1) {
        const double* values = table[sel].values;
        MasterGain = std::pow(10.0, values[0] / 20.0);
        positions.gain = decibelsToGainSlider(values[0]);
        for (int k = 0; k < ParameterCount; ++k) {
            ParameterValues[k] = values[k + 1];
            positions.parameters[k] = valueToSlider(ParameterDescriptors[k], ParameterValues[k]);
        }
    } else {
        // "Custom": the gain comes back in whole decibels.
        const int gainWord = PluginSettings[0];
        MasterGain = std::pow(10.0, (60 - gainWord / 50) / 20.0);
        positions.gain = gainWord;
        for (int k = 0; k < ParameterCount; ++k) {
            positions.parameters[k] = PluginSettings[k + 1];
            ParameterValues[k] = sliderToValue(ParameterDescriptors[k], PluginSettings[k + 1]);
        }
    }
    pushParameters();
    if (sliders) *sliders = positions;
    return true;
}

int findPreset(const char* name) {
    const PresetRecord* table = nullptr;
    const int count = currentPresets(&table);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(table[i].name, name) == 0) return i;
    }
    return -1;
}
