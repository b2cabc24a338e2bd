#pragma once

#include "framework/param_descriptor.h"

// A named preset: value 0 is the master gain in dB, value k + 1 is parameter k.
struct PresetRecord {
    const char* name;
    double values[kMaxParameters];
};
