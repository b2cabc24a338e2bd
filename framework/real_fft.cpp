#include "framework/real_fft.h"

#include "framework/fft_driver.h"
#include "framework/fft_plan.h"

static_assert(RealFft::kMaxRadix == OddRadixKernel::kMaxRadix, "the odd kernel's scratch bounds the first radix");

namespace {

// The driver for a requested instruction set; one the processor lacks falls
// back to the baseline.
const FftDriver* driverFor(RealFft::InstructionSet set) {
    const FftDriver* avx = avxFftDriver();
    if (set != RealFft::InstructionSet::kBaseline && avx) return avx;
    return &baselineFftDriver();
}

}  // namespace

RealFft::RealFft(int n, InstructionSet set) : plan_(new FftPlan(n)), driver_(driverFor(set)) {}

RealFft::~RealFft() = default;

bool RealFft::valid() const { return plan_->valid; }

int RealFft::length() const { return plan_->n; }

std::vector<int> RealFft::stages() const {
    std::vector<int> list;
    if (!plan_->valid) return list;
    for (int s = 1; s <= plan_->stageCount; ++s) list.push_back(plan_->factor[s]);
    return list;
}

std::vector<RealFft::InstructionSet> RealFft::supportedInstructionSets() {
    std::vector<InstructionSet> sets{InstructionSet::kBaseline};
    if (avxFftDriver()) sets.push_back(InstructionSet::kAvx);
    return sets;
}

void RealFft::forward(double* x) {
    if (plan_->valid) driver_->forward(*plan_, x);
}

void RealFft::inverse(double* x) {
    if (plan_->valid) driver_->inverse(*plan_, x);
}
