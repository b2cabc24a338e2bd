#pragma once

// The forward and inverse walks of RealFft for one instruction set. The
// walks (real_split.h, fft_stages.h) are one source compiled once for the
// baseline (SSE2 on x86) and once more, in fft_driver_avx.cpp, for AVX with
// four lanes instead of two; every lane does the same operations in the same
// order and nothing is fused into multiply-adds, so both give the same bits.
// A plan takes its driver once, when it is built.

struct FftPlan;

struct FftDriver {
    void (*forward)(FftPlan& plan, double* x);
    void (*inverse)(FftPlan& plan, double* x);
};

// The walks every processor runs.
const FftDriver& baselineFftDriver();

// The AVX walks when this build has them and the processor (and its
// operating system) supports AVX, otherwise null.
const FftDriver* avxFftDriver();

// The AVX walks' table itself: null when the file was compiled without AVX.
// Only avxFftDriver() may hand it out, after asking the processor.
const FftDriver* avxFftDriverIfBuilt();
