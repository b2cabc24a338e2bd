#pragma once

#include "framework/preset_record.h"

// Preset tables of the time and pitch modules; the last record of each is "Custom".
extern const PresetTable kResamplerPresets;
extern const PresetTable kTempoScalerPresets;
extern const PresetTable kPitchScalerPresets;
