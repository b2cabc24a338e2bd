#pragma once

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Two doubles processed together (one SSE2 register on x86), through the
// compiler's vector extension. Loads and stores need no alignment.
typedef double DoublePair __attribute__((vector_size(16)));
typedef double UnalignedDoublePair __attribute__((vector_size(16), aligned(8)));
typedef long long PairMask __attribute__((vector_size(16)));

inline DoublePair loadPair(const double* p) { return *reinterpret_cast<const UnalignedDoublePair*>(p); }
inline void storePair(double* p, DoublePair v) { *reinterpret_cast<UnalignedDoublePair*>(p) = v; }
inline DoublePair splatPair(double v) { return DoublePair{v, v}; }
inline double sumPair(DoublePair v) { return v[0] + v[1]; }
// Both lanes in one instruction where SSE2 has it; square roots are correctly
// rounded either way, so the lanes equal std::sqrt's bits.
inline DoublePair sqrtPair(DoublePair v) {
#if defined(__SSE2__)
    return DoublePair(_mm_sqrt_pd(__m128d(v)));
#else
    return DoublePair{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}
inline DoublePair absPair(DoublePair v) {
    const PairMask magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    return reinterpret_cast<DoublePair>(reinterpret_cast<PairMask>(v) & magnitude);
}
