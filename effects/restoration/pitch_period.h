#pragma once

// Pitch period of a frame in samples, 0 when it has none: the larger of the
// periods found in its two halves. A half's period is the lag (0.002 s up to
// 1/54.4 s, at most half the half) with the smallest circular average
// magnitude difference, accepted when the normalised autocorrelation at that
// lag is strong enough.
int pitchPeriod(const double* y, int length, double sampleRate);

// The period of one stretch of samples, 0 when it has none.
int stretchPeriod(const double* y, int length, double sampleRate);
