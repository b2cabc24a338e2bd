#pragma once

#include <memory>

#include "framework/effect_module.h"
#include "framework/param_descriptor.h"
#include "framework/relaxed_word.h"

// Where the current module and its parameter model live (the plug-in's global
// state, or a test's own).
struct ModuleSlot {
    std::unique_ptr<EffectModule>* module;
    ParamDescriptor* descriptors;  // room for kMaxParameters
    int* parameterCount;
    double* values;                // room for kMaxParameters
    RelaxedWord<double>* masterGain;  // read by the audio thread without the lock
};

// Replaces the slot's module with a new one of moduleIndex for the given
// format and refreshes its descriptors and parameter count. With keep the
// values in force carry over; without it the master gain returns to 1.0 and
// the used values to their defaults. Either way the new module receives the
// values in force, so every path builds the same module. The caller holds the
// processing lock. If the module cannot be built the slot stays empty.
// Descriptors and count are written only where they change: the audio thread
// rebuilds for a new stream format while the control window reads the
// parameter model without the lock, and the same module describes itself
// the same way at every format.
void rebuildModule(const ModuleSlot& slot, int moduleIndex, int rate, int channels, bool keep);
