#include "registry/preset_choice.h"

#include <cmath>
#include <cstring>

#include "framework/slider_scale.h"

bool choosePreset(const PresetTable& table, int sel, const ParamDescriptor* descriptors, int parameterCount,
                  const int* settingsWords, PresetChoice* choice) {
    if (!table.records || sel < 0 || sel >= table.count) return false;
    PresetChoice result{};
    result.sliders.count = parameterCount;
    if (sel < table.count - 1) {
        const double* values = table.records[sel].values;
        result.masterGain = std::pow(10.0, values[0] / 20.0);
        result.sliders.gain = decibelsToGainSlider(values[0]);
        for (int k = 0; k < parameterCount; ++k) {
            result.values[k] = values[k + 1];
            result.sliders.parameters[k] = valueToSlider(descriptors[k], result.values[k]);
        }
    } else {
        // "Custom": the gain comes back in whole decibels.
        const int gainWord = settingsWords[0];
        result.masterGain = std::pow(10.0, (kGainRangeDecibels - gainWord / static_cast<int>(kGainPositionsPerDecibel)) / 20.0);
        result.sliders.gain = gainWord;
        for (int k = 0; k < parameterCount; ++k) {
            result.sliders.parameters[k] = settingsWords[k + 1];
            result.values[k] = sliderToValue(descriptors[k], settingsWords[k + 1]);
        }
    }
    *choice = result;
    return true;
}

int findPresetIn(const PresetTable& table, const char* name) {
    for (int i = 0; table.records && i < table.count; ++i) {
        if (std::strcmp(table.records[i].name, name) == 0) return i;
    }
    return -1;
}
