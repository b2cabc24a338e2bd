#pragma once

#include "framework/preset_record.h"

// Preset tables of the spatial modules; the last record of each is "Custom".
extern const PresetTable kDeVocalMonoPresets;
extern const PresetTable kDeVocalStereoPresets;
extern const PresetTable kModalReverbPresets;
extern const PresetTable kVirtual3DPresets;
