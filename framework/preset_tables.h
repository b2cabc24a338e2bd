#pragma once

#include "framework/preset_record.h"

// A module's preset list; its last record is always "Custom".
struct PresetTable {
    const PresetRecord* records;
    int count;
};

// The preset table of a module index; {nullptr, 0} for modules without presets.
PresetTable presetTableFor(int moduleIndex);
