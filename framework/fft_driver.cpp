#include "framework/fft_driver.h"

#include "framework/real_split.h"

namespace {

const FftDriver kBaselineDriver = {fftkernels::forwardTransform, fftkernels::inverseTransform};

bool processorHasAvx() {
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

}  // namespace

const FftDriver& baselineFftDriver() { return kBaselineDriver; }

const FftDriver* avxFftDriver() {
    static const bool available = processorHasAvx();
    return available ? avxFftDriverIfBuilt() : nullptr;
}
