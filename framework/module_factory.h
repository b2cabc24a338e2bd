#pragma once

#include <memory>

#include "framework/effect_module.h"

// Replaces the current module with a new one of ModuleIndex for the given
// format and refreshes ParameterDescriptors and ParameterCount. With keep the
// new module receives the ParameterValues in force; without it MasterGain
// returns to 1.0 and the used values to their defaults. The caller holds the
// processing lock. If the module cannot be built, CurrentModule stays empty.
void ModuleFactory(int rate, int channels, bool keep);

// Builds the module of an index on its own (no global state touched);
// indices without an effect of their own give the pass-through module.
std::unique_ptr<EffectModule> createModule(int moduleIndex, int rate, int channels);

// True when the index has an effect of its own in this build (index 0, the
// pass-through "Level Tuning", counts as implemented).
bool moduleImplemented(int moduleIndex);
