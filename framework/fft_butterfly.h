#pragma once

// Private helpers of the transform's stage drivers: the twiddle products of
// a butterfly and the dispatch from a run-time radix to its dedicated kernel.

#include "framework/fft_kernels.h"

namespace fftkernels {
inline namespace MORV_FFT_ISA {

// (xr + i xi) times the twiddle (wr + i wi).
template <class T>
MORV_FFT_INLINE void twiddle(T& xr, T& xi, T wr, T wi) {
    const T r = xr * wr - xi * wi;
    xi = xr * wi + xi * wr;
    xr = r;
}

// The powers w^j, j = 1 .. R - 1, of a butterfly's twiddle w (the stage's
// twiddle step), made by products: w^j = w^h w^(j - h) with h the largest
// power of two below j (w^(j/2) squared when j is one), so that no product
// waits on more than three others. wr[0], wi[0] are left unset.
template <int R, class T>
MORV_FFT_INLINE void twiddlePowers(T* wr, T* wi, T w1r, T w1i) {
    if constexpr (R > 1) {
        wr[1] = w1r;
        wi[1] = w1i;
#pragma GCC unroll 16
        for (int j = 2; j < R; ++j) {
            int h = 1;
            while (2 * h < j) h *= 2;
            const int l = j - h;
            wr[j] = wr[h] * wr[l] - wi[h] * wi[l];
            wi[j] = wr[h] * wi[l] + wi[h] * wr[l];
        }
    }
}

// Calls Op<R>::run(args...) for a radix with a dedicated kernel; false otherwise.
template <template <int> class Op, class... Args>
bool withDedicatedRadix(int radix, Args... args) {
    switch (radix) {
        case 1: Op<1>::run(args...); return true;
        case 2: Op<2>::run(args...); return true;
        case 3: Op<3>::run(args...); return true;
        case 4: Op<4>::run(args...); return true;
        case 5: Op<5>::run(args...); return true;
        case 7: Op<7>::run(args...); return true;
        case 8: Op<8>::run(args...); return true;
        case 9: Op<9>::run(args...); return true;
        case 10: Op<10>::run(args...); return true;
        case 16: Op<16>::run(args...); return true;
        default: return false;
    }
}

}  // namespace MORV_FFT_ISA
}  // namespace fftkernels
