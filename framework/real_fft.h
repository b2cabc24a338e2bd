#pragma once

#include <memory>
#include <vector>

#include "framework/transform_length.h"

struct FftDriver;
struct FftPlan;

// Forward and inverse DFT of N real samples (N even), in place.
//
// PackedSpectrum layout of the N doubles after forward():
//   [0]            real part of bin 0 (imaginary part is 0)
//   [2k-1], [2k]   real and imaginary parts of bin k, k = 1 .. N/2 - 1
//   [N-1]          real part of bin N/2 (imaginary part is 0)
// forward() is unscaled; inverse() scales by 1/N so inverse(forward(x)) == x.
class RealFft {
public:
    // Builds the transform for an even length n >= 2. A length whose first
    // stage radix exceeds kMaxRadix is refused: valid() then returns false and
    // forward/inverse leave their argument untouched (an odd length or one
    // below 2 is refused the same way).
    //
    // The walks run with the widest vectors the processor supports unless a
    // narrower instruction set is asked for; every choice gives the same bits.
    enum class InstructionSet { kWidest, kBaseline, kAvx };
    explicit RealFft(int n, InstructionSet set = InstructionSet::kWidest);
    ~RealFft();

    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    void forward(double* x);
    void inverse(double* x);

    bool valid() const;
    int length() const;
    // The radix of every stage, stage 1 first (empty for a refused length).
    // For tests and diagnostics; allocates.
    std::vector<int> stages() const;
    // kBaseline, then every wider set this processor runs. Allocates.
    static std::vector<InstructionSet> supportedInstructionSets();

    static constexpr int kMaxRadix = 101;

private:
    std::unique_ptr<FftPlan> plan_;
    const FftDriver* driver_;
};
