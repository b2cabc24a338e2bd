// The transform's walks with four lanes, compiled with AVX (and without
// contraction into multiply-adds) where the build system asks for it; see
// cmake/fft_avx.cmake. Without AVX this file contributes no walks.
#include "framework/fft_driver.h"

#include "framework/real_split.h"

#if MORV_FFT_AVX
static_assert(fftkernels::Lanes<fftkernels::Wide>::kCount == 4, "the AVX walks run four lanes");

namespace {

const FftDriver kAvxDriver = {fftkernels::forwardTransform, fftkernels::inverseTransform};

}  // namespace

const FftDriver* avxFftDriverIfBuilt() { return &kAvxDriver; }
#else
const FftDriver* avxFftDriverIfBuilt() { return nullptr; }
#endif
