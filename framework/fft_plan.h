#pragma once

#include <memory>

#include "framework/odd_radix_kernel.h"

// What RealFft builds once for its length N: the factoring of m = N / 2 into
// stages, the digit-reversal permutation, the split tables, the stage
// rotations and the twiddles made from them, and the work arrays and scratch the transform runs in. Private
// to the transform: its files read the fields directly.
struct FftPlan {
    // Stages are counted from 1; the permutation reads remain[J + 1].
    static constexpr int kStageSlots = 22;
    static constexpr int kMaxStages = 19;

    // Builds everything for length n; valid stays false for a refused length
    // (odd, below 2, a first radix above the odd kernel's largest, or too
    // many stages).
    explicit FftPlan(int n);

    // Stage twiddles w^d, d = 0 .. S - 1, of every stage s >= 2.
    const double* twiddlesRe(int s) const { return twRe + twiddleOffset[s]; }
    const double* twiddlesIm(int s) const { return twIm + twiddleOffset[s]; }

    int n = 0;
    int m = 0;
    bool valid = false;
    int stageCount = 0;
    int sofar[kStageSlots] = {};
    int factor[kStageSlots] = {};
    int remain[kStageSlots] = {};
    // perm[i], inversePerm[i]: the digit reversal of the m indices.
    int* perm = nullptr;
    int* inversePerm = nullptr;
    // Work arrays: real and imaginary parts of the half-length sequence.
    double* re = nullptr;
    double* im = nullptr;
    // Split tables cos(pi k / m), sin(pi k / m).
    double* cosTable = nullptr;
    double* sinTable = nullptr;
    double* twRe = nullptr;
    double* twIm = nullptr;
    int twiddleOffset[kStageSlots] = {};
    // cos and -sin of 2 pi / (S R) for every stage s >= 2: the rotation.
    double rotationCos[kStageSlots] = {};
    double rotationSin[kStageSlots] = {};
    OddRadixKernel oddKernel;

private:
    void factorise();
    void buildPermutation();
    void buildSplitTables();
    void buildStageRotations();
    void buildStageTwiddles();

    // One allocation each of 2m (the permutations, work arrays and split
    // tables) and one of twice the stage twiddles' total length.
    std::unique_ptr<int[]> permutations_;
    std::unique_ptr<double[]> work_;
    std::unique_ptr<double[]> split_;
    std::unique_ptr<double[]> twiddles_;
};
