#pragma once

#include "framework/param_descriptor.h"

// Slider positions that the control window moves after a preset is applied.
struct PresetSliderPositions {
    int gain;
    int parameters[kMaxParameters];
    int count;
};

// Applies entry sel of the current module's preset list: a named preset sets
// MasterGain and ParameterValues from its record; the last entry, "Custom",
// recalls the user's slider positions from the settings words (the gain in
// whole decibels). The module receives the values under the processing lock.
// Returns false, changing nothing, when the module has no presets or sel is
// not an entry of its list.
bool applyPreset(int sel, PresetSliderPositions* sliders);

// Index of the preset named name (exact match) in the current module's list,
// or -1.
int findPreset(const char* name);
