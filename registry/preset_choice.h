#pragma once

#include "framework/param_descriptor.h"
#include "framework/preset_record.h"

// Slider positions that the control window moves after a preset is applied.
struct PresetSliderPositions {
    int gain;
    int parameters[kMaxParameters];
    int count;
};

// What choosing entry sel of a preset list sets: the master gain, the
// parameter values and the slider positions that show them.
struct PresetChoice {
    double masterGain;
    double values[kMaxParameters];
    PresetSliderPositions sliders;
};

// A named preset takes the gain and values of its record; the last entry,
// "Custom", recalls the user's slider positions from the settings words
// (word 0 the gain, recalled in whole decibels; word k + 1 parameter k).
// Returns false when sel is not an entry of the table.
bool choosePreset(const PresetTable& table, int sel, const ParamDescriptor* descriptors, int parameterCount,
                  const int* settingsWords, PresetChoice* choice);

// Index of the preset named name (exact match) in the table, or -1.
int findPresetIn(const PresetTable& table, const char* name);
