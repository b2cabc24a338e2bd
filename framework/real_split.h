#pragma once

// The real transform around the half-length complex one: forward packs the
// N real samples into m = N / 2 complex values z_n = x_2n + i x_2n+1 and
// splits their transform Z into the PackedSpectrum; inverse pre-combines the
// spectrum into conj Z, runs the same forward stages and writes the
// conjugated, scaled result back as samples. Stage 1 is fused with the
// packing and the pre-combination, and the inverse's last stage with the
// output, wherever the radix has a dedicated kernel.

struct FftPlan;

// Packs x in digit-reversed order into the work arrays and runs stage 1.
void packAndRunFirstStage(const double* x, FftPlan& plan);

// Writes the PackedSpectrum of the samples into x from Z in the work arrays.
void splitIntoSpectrum(const FftPlan& plan, double* x);

// Pre-combines the PackedSpectrum x into conj Z (times 2) in digit-reversed
// order in the work arrays and runs stage 1.
void precombineAndRunFirstStage(const double* x, FftPlan& plan);

// Runs the last stage (when there are two or more) and writes the samples
// x[2k] = Re y_k / N, x[2k + 1] = -Im y_k / N.
void runLastStageIntoSamples(FftPlan& plan, double* x);
