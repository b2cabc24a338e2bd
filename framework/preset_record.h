#pragma once

#include <cstddef>

#include "framework/param_descriptor.h"

// A named preset: value 0 is the master gain in dB, value k + 1 is parameter k.
struct PresetRecord {
    const char* name;
    double values[kMaxParameters];
};

// A module's preset list; its last record is always "Custom".
struct PresetTable {
    const PresetRecord* records;
    int count;
};

constexpr PresetTable kNoPresets{nullptr, 0};

template <std::size_t N>
constexpr PresetTable makePresetTable(const PresetRecord (&records)[N]) {
    return PresetTable{records, static_cast<int>(N)};
}
