#pragma once

// Moves a spectrum of magnitudes and phase advances along the frequency axis
// by a pitch factor r, for the phase vocoder. Every array holds binCount bins,
// 0 to binCount - 1, and the source arrays must define all of them: output
// bin k (1 .. binCount - 2) takes source position s = k / r, the two bins
// around it weighted linearly (so bins 0 and binCount - 1 are read too), and
// its advance is scaled by r. Where s falls on the top source bin, the output
// bin gets a tenth of its magnitude and the two bins below are faded by 0.5
// and 0.9; past the top source bin the output stays silent. The output bins 0
// and binCount - 1 are not written; the outputs must be cleared beforehand.
void resampleSpectrum(const double* magnitude, const double* advance, int binCount, double factor,
                      double* newMagnitude, double* newAdvance);
