#pragma once

#include "registry/preset_choice.h"

// Applies entry sel of the current module's preset list to the plug-in state
// (PresetIndex, MasterGain, ParameterValues) and hands the values to the
// module under the processing lock; sliders, when given, receives the
// positions that show them. Returns false, changing nothing, when the module
// has no presets or sel is not an entry of its list.
bool applyPreset(int sel, PresetSliderPositions* sliders);

// Index of the preset named name (exact match) in the current module's list,
// or -1.
int findPreset(const char* name);
