#pragma once

// Replaces the current module with a new one of ModuleIndex for the given
// format and refreshes ParameterDescriptors and ParameterCount. With keep the
// ParameterValues in force carry over; without it MasterGain returns to 1.0
// and the used values to their defaults; the new module receives the values
// in force either way. The caller holds the processing lock. If the module
// cannot be built, CurrentModule stays empty.
void ModuleFactory(int rate, int channels, bool keep);

// Restarts the noise capture of the current module when it is DeNoise, under
// the processing lock ("Snap Noise").
void snapNoise();
