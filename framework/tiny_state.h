#pragma once

#include <cmath>

// Policy for recursive and decaying states (filter memories, smoothed spectra,
// recursive gains): a state whose magnitude is below kTinyState when a block
// or frame ends counts as zero in the next one (flushed as it is stored, or
// as it is read back). That lies far below the rounding error of any sample
// on the 16-bit scale, so nothing audible changes, and it keeps a state
// decaying through silence from sinking into subnormal numbers, which cost
// the processor many times the normal work per operation.
constexpr double kTinyState = 1e-30;

inline double flushTiny(double state) { return std::fabs(state) < kTinyState ? 0.0 : state; }

inline void flushTiny(double* states, int count) {
    for (int i = 0; i < count; ++i) states[i] = flushTiny(states[i]);
}
