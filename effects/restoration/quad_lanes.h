#pragma once

// Four doubles processed together with AVX, for the restoration kernels that
// have a second, four-lane version chosen at run time. The lanes hold what
// two DoublePair accumulators hold side by side, and AVX alone brings no
// multiply-add, so a four-lane kernel rounds exactly as its two-lane twin.
// Built only for 64-bit x86 outside Windows; elsewhere, or when built with
// MORV_NO_QUAD_LANES (to compare the two), the two-lane kernels run alone.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && !defined(_WIN32) && \
    !defined(MORV_NO_QUAD_LANES)
#define MORV_QUAD_LANES 1
#define MORV_QUAD_TARGET __attribute__((target("avx")))

typedef double DoubleQuad __attribute__((vector_size(32)));
typedef double UnalignedDoubleQuad __attribute__((vector_size(32), aligned(8)));
typedef long long QuadMask __attribute__((vector_size(32)));

MORV_QUAD_TARGET inline DoubleQuad loadQuad(const double* p) {
    return *reinterpret_cast<const UnalignedDoubleQuad*>(p);
}
MORV_QUAD_TARGET inline void storeQuad(double* p, DoubleQuad v) { *reinterpret_cast<UnalignedDoubleQuad*>(p) = v; }
MORV_QUAD_TARGET inline DoubleQuad splatQuad(double v) { return DoubleQuad{v, v, v, v}; }
MORV_QUAD_TARGET inline DoubleQuad absQuad(DoubleQuad v) {
    const QuadMask magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL, 0x7fffffffffffffffLL,
                                0x7fffffffffffffffLL};
    return reinterpret_cast<DoubleQuad>(reinterpret_cast<QuadMask>(v) & magnitude);
}
// The lanes summed as two pairs p = {v0, v1} and q = {v2, v3} are by
// sumPair(p + q).
MORV_QUAD_TARGET inline double sumQuadAsPairs(DoubleQuad v) { return (v[0] + v[2]) + (v[1] + v[3]); }

// Whether the four-lane kernels run: the processor has AVX, unless a test
// has turned them off to compare the two-lane kernels with them.
inline bool& quadLanesEnabled() {
    static bool enabled = __builtin_cpu_supports("avx");
    return enabled;
}
inline bool processorHasQuadLanes() { return quadLanesEnabled(); }
#endif
