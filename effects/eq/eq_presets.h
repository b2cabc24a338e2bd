#pragma once

#include "framework/preset_record.h"

// Preset tables of the graphic equalisers; the last record of each is "Custom".
extern const PresetTable kEq3BandPresets;
extern const PresetTable kEq10BandPresets;
extern const PresetTable kEq15BandPresets;
extern const PresetTable kEq20BandPresets;
extern const PresetTable kEq31BandPresets;
