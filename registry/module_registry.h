#pragma once

#include <memory>

#include "framework/effect_module.h"
#include "framework/preset_record.h"

struct EqBandTable;

// Module indices that code refers to by meaning.
enum ModuleId : int {
    kModuleLevelTuning = 0,
    kModuleDeClick = 1,
    kModuleDeHiss = 2,
    kModuleDeNoise = 3,
    kModuleFirstEqualizer = 4,
    kModuleLastEqualizer = 8,
    kModuleDeVocalMono = 9,
    kModuleDeVocalStereo = 10,
    kModuleModalReverb = 11,
    kModuleVirtual3D = 12,
    kModuleResampler = 13,
    kModuleTempoScaler = 14,
    kModulePitchScaler = 15,
    kModuleVibrato = 16,
    kModuleWhisper = 17,
    kModuleAsImpact = 18,  // listed by name, never offered
};

constexpr int kModuleNameCount = 19;
constexpr int kSelectableModuleCount = 18;
constexpr int kLastSelectableModule = kSelectableModuleCount - 1;

// Builds a module for a stream; null for modules that pass the audio through.
using ModuleBuilder = std::unique_ptr<EffectModule> (*)(int rate, int channels);

// One row of the registry: everything the rest of the system knows about a
// module index.
struct ModuleRow {
    const char* name;       // display name, starting with its two-byte marker
    ModuleBuilder build;    // null: the pass-through module
    PresetTable presets;
};

// The row of a module index; any index outside 0..18 gives the row of
// "Level Tuning" (the pass-through module).
const ModuleRow& moduleRow(int index);

// The module of an index built on its own, with its constructor's values.
std::unique_ptr<EffectModule> createModule(int moduleIndex, int rate, int channels);

// True when the index has an effect of its own in this build ("Level Tuning",
// the pass-through, counts as one).
bool moduleImplemented(int moduleIndex);

// The preset table of a module index; kNoPresets for modules without presets.
PresetTable presetTableFor(int moduleIndex);

// The band table of equaliser module moduleIndex (4..8), or nullptr.
const EqBandTable* eqBandTableFor(int moduleIndex);

// The name without its two-byte marker, and which marker it carries.
const char* moduleNameText(int index);
bool moduleNameBlackMarker(int index);
