#pragma once

#include "host/winamp_dsp.h"

// The player's per-block callback: runs numsamples frames of interleaved
// integer PCM (8, 16, 24 or 32 bits; the buffer has room for twice the frames)
// through the current module, applies the master gain to the selected
// channels, clamps back to the sample width and updates the level meters.
// Returns the number of frames now in the buffer.
int ModifySamples(winampDSPModule* thisModule, short* samples, int numsamples, int bps, int nch, int srate);

// Level 0..100 (decibels + 100) of a peak against full scale.
int meterLevel(double peak, double fullScale);
