#include "framework/real_fft.h"

#include "framework/fft_plan.h"
#include "framework/fft_stages.h"
#include "framework/real_split.h"

static_assert(RealFft::kMaxRadix == OddRadixKernel::kMaxRadix, "the odd kernel's scratch bounds the first radix");

RealFft::RealFft(int n) : plan_(new FftPlan(n)) {}

RealFft::~RealFft() = default;

bool RealFft::valid() const { return plan_->valid; }

int RealFft::length() const { return plan_->n; }

std::vector<int> RealFft::stages() const {
    std::vector<int> list;
    if (!plan_->valid) return list;
    for (int s = 1; s <= plan_->stageCount; ++s) list.push_back(plan_->factor[s]);
    return list;
}

// z_n = x_2n + i x_2n+1 packed in digit-reversed order, the m-point transform
// Z by the stages, then split into the PackedSpectrum.
void RealFft::forward(double* x) {
    FftPlan& p = *plan_;
    if (!p.valid) return;
    packAndRunFirstStage(x, p);
    runMiddleStages(p);
    if (p.stageCount >= 2) runComplexStage(p, p.stageCount);
    splitIntoSpectrum(p, x);
}

// The half spectrum pre-combined into conj Z in digit-reversed order, so that
// the forward stages compute m conj(z); the output conjugates and scales it.
void RealFft::inverse(double* x) {
    FftPlan& p = *plan_;
    if (!p.valid) return;
    precombineAndRunFirstStage(x, p);
    runMiddleStages(p);
    runLastStageIntoSamples(p, x);
}
