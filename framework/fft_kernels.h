#pragma once

// Private arithmetic of RealFft: the straight-line R-point forward
// DFT kernels, z'_u = sum_j z_j * exp(-2 pi i j u / R), applied in place to R
// complex values held as separate real and imaginary arrays.
//
// Every kernel is a template over the sample type T (fft_lanes.h). With
// T = double it transforms one butterfly; with T = Pair it transforms two
// independent butterflies at once, lane by lane, which is how the stages are
// vectorised (the arithmetic is identical in both cases).

#include "framework/fft_lanes.h"

namespace fftkernels {
inline namespace MORV_FFT_ISA {

// cos and sin of the angles the kernels need, to full double precision.
constexpr double kSin60 = 0.86602540378443864676;     // sin(2 pi / 3)
constexpr double kSqrtHalf = 0.70710678118654752440;  // cos(pi / 4) = sin(pi / 4)
constexpr double kCos22 = 0.92387953251128675613;     // cos(pi / 8)
constexpr double kSin22 = 0.38268343236508977173;     // sin(pi / 8)
constexpr double kSqrt5Over4 = 0.55901699437494742410;  // sqrt(5) / 4
constexpr double kSin72 = 0.95105651629515357212;     // sin(2 pi / 5)
constexpr double kSin36 = 0.58778525229247312917;     // sin(4 pi / 5) = sin(pi / 5)
constexpr double kCos7a = 0.62348980185873353053;     // cos(2 pi / 7)
constexpr double kCos7b = -0.22252093395631440429;    // cos(4 pi / 7)
constexpr double kCos7c = -0.90096886790241912624;    // cos(6 pi / 7)
constexpr double kSin7a = 0.78183148246802980871;     // sin(2 pi / 7)
constexpr double kSin7b = 0.97492791218182360702;     // sin(4 pi / 7)
constexpr double kSin7c = 0.43388373911755812048;     // sin(6 pi / 7)
constexpr double kCos9a = 0.76604444311897803520;     // cos(2 pi / 9)
constexpr double kSin9a = 0.64278760968653932632;     // sin(2 pi / 9)
constexpr double kCos9b = 0.17364817766693034885;     // cos(4 pi / 9)
constexpr double kSin9b = 0.98480775301220805936;     // sin(4 pi / 9)
constexpr double kCos9d = -0.93969262078590838405;    // cos(8 pi / 9)
constexpr double kSin9d = 0.34202014332566873304;     // sin(8 pi / 9)

// (ar + i ai) * (c - i s): multiplication by the forward twiddle exp(-i theta)
// given c = cos theta and s = sin theta.
template <class T>
MORV_FFT_INLINE void rotateBy(T& ar, T& ai, double c, double s) {
    const T r = ar * c + ai * s;
    const T i = ai * c - ar * s;
    ar = r;
    ai = i;
}

// Radix 2: sum and difference.
template <class T>
MORV_FFT_INLINE void dft2(T* r, T* i) {
    const T r0 = r[0] + r[1], i0 = i[0] + i[1];
    r[1] = r[0] - r[1];
    i[1] = i[0] - i[1];
    r[0] = r0;
    i[0] = i0;
}

// Radix 3, rotation-free: y0 = z0 + t, y1,2 = z0 - t/2 -/+ i sin60 (z1 - z2).
// Written as in the classic factorisation with m1 = y0 - 1.5 t.
template <class T>
MORV_FFT_INLINE void dft3(T* r, T* i) {
    const T tr = r[1] + r[2], ti = i[1] + i[2];
    const T y0r = r[0] + tr, y0i = i[0] + ti;
    const T m1r = y0r - 1.5 * tr, m1i = y0i - 1.5 * ti;
    const T m2r = kSin60 * (i[1] - i[2]), m2i = kSin60 * (r[1] - r[2]);
    r[0] = y0r;
    i[0] = y0i;
    r[1] = m1r + m2r;
    i[1] = m1i - m2i;
    r[2] = m1r - m2r;
    i[2] = m1i + m2i;
}

// Radix 4: two radix-2 layers; the inner twiddle is -i.
template <class T>
MORV_FFT_INLINE void dft4(T* r, T* i) {
    const T t0r = r[0] + r[2], t0i = i[0] + i[2];
    const T t1r = r[0] - r[2], t1i = i[0] - i[2];
    const T t2r = r[1] + r[3], t2i = i[1] + i[3];
    const T t3r = r[1] - r[3], t3i = i[1] - i[3];
    r[0] = t0r + t2r;
    i[0] = t0i + t2i;
    r[2] = t0r - t2r;
    i[2] = t0i - t2i;
    r[1] = t1r + t3i;
    i[1] = t1i - t3r;
    r[3] = t1r - t3i;
    i[3] = t1i + t3r;
}

// Radix 5, rotation-free (constants 1.25, sqrt(5)/4, sin 72 and sin 36):
// y0 = z0 + t5; the real-symmetric parts are y0 - 1.25 t5 +/- sqrt5/4 (t1 - t2),
// the odd parts -i (s72 d1 + s36 d2) and -i (s36 d1 - s72 d2).
template <class T>
MORV_FFT_INLINE void dft5(T* r, T* i) {
    const T t1r = r[1] + r[4], t1i = i[1] + i[4];
    const T t2r = r[2] + r[3], t2i = i[2] + i[3];
    const T d1r = r[1] - r[4], d1i = i[1] - i[4];
    const T d2r = r[2] - r[3], d2i = i[2] - i[3];
    const T t5r = t1r + t2r, t5i = t1i + t2i;
    const T y0r = r[0] + t5r, y0i = i[0] + t5i;
    const T ar = y0r - 1.25 * t5r, ai = y0i - 1.25 * t5i;
    const T br = kSqrt5Over4 * (t1r - t2r), bi = kSqrt5Over4 * (t1i - t2i);
    const T p1r = ar + br, p1i = ai + bi;
    const T p2r = ar - br, p2i = ai - bi;
    const T u1r = kSin72 * d1r + kSin36 * d2r, u1i = kSin72 * d1i + kSin36 * d2i;
    const T u2r = kSin36 * d1r - kSin72 * d2r, u2i = kSin36 * d1i - kSin72 * d2i;
    r[0] = y0r;
    i[0] = y0i;
    r[1] = p1r + u1i;
    i[1] = p1i - u1r;
    r[4] = p1r - u1i;
    i[4] = p1i + u1r;
    r[2] = p2r + u2i;
    i[2] = p2i - u2r;
    r[3] = p2r - u2i;
    i[3] = p2i + u2r;
}

// Radix 7: pairs t_k = z_k + z_{7-k}, d_k = z_k - z_{7-k}; outputs u and 7 - u
// are a_u -/+ i b_u with a_u the cosine sums and b_u the sine sums.
// Streamed: in(j, re, im) yields input j, out(u, re, im) takes output u. The
// inputs are read pair by pair and each pair of outputs is handed on as soon
// as it is formed, so that at most the seven pairs t_k, d_k and z0 stay live
// (with four lanes and all fourteen outputs held back, half the values spill).
template <class T, class In, class Out>
MORV_FFT_INLINE void dft7Streamed(In in, Out out) {
    T t1r, t1i, t2r, t2i, t3r, t3i, d1r, d1i, d2r, d2i, d3r, d3i;
    {
        T ar, ai, br, bi;
        in(1, ar, ai);
        in(6, br, bi);
        t1r = ar + br, t1i = ai + bi, d1r = ar - br, d1i = ai - bi;
        in(2, ar, ai);
        in(5, br, bi);
        t2r = ar + br, t2i = ai + bi, d2r = ar - br, d2i = ai - bi;
        in(3, ar, ai);
        in(4, br, bi);
        t3r = ar + br, t3i = ai + bi, d3r = ar - br, d3i = ai - bi;
    }
    T z0r, z0i;
    in(0, z0r, z0i);
    out(0, z0r + t1r + t2r + t3r, z0i + t1i + t2i + t3i);
    {
        const T ar = z0r + kCos7a * t1r + kCos7b * t2r + kCos7c * t3r;
        const T ai = z0i + kCos7a * t1i + kCos7b * t2i + kCos7c * t3i;
        const T br = kSin7a * d1r + kSin7b * d2r + kSin7c * d3r;
        const T bi = kSin7a * d1i + kSin7b * d2i + kSin7c * d3i;
        out(1, ar + bi, ai - br);
        out(6, ar - bi, ai + br);
    }
    {
        const T ar = z0r + kCos7b * t1r + kCos7c * t2r + kCos7a * t3r;
        const T ai = z0i + kCos7b * t1i + kCos7c * t2i + kCos7a * t3i;
        const T br = kSin7b * d1r - kSin7c * d2r - kSin7a * d3r;
        const T bi = kSin7b * d1i - kSin7c * d2i - kSin7a * d3i;
        out(2, ar + bi, ai - br);
        out(5, ar - bi, ai + br);
    }
    {
        const T ar = z0r + kCos7c * t1r + kCos7a * t2r + kCos7b * t3r;
        const T ai = z0i + kCos7c * t1i + kCos7a * t2i + kCos7b * t3i;
        const T br = kSin7c * d1r - kSin7a * d2r + kSin7b * d3r;
        const T bi = kSin7c * d1i - kSin7a * d2i + kSin7b * d3i;
        out(3, ar + bi, ai - br);
        out(4, ar - bi, ai + br);
    }
}

template <class T>
MORV_FFT_INLINE void dft7(T* r, T* i) {
    dft7Streamed<T>([&](int j, T& a, T& b) { a = r[j], b = i[j]; }, [&](int u, T a, T b) { r[u] = a, i[u] = b; });
}

// Radix 8 = 2 x 4: the transforms of the even and the odd inputs, joined by
// the twiddles 1, (1 - i)/sqrt2, -i and -(1 + i)/sqrt2.
template <class T>
MORV_FFT_INLINE void dft8(T* r, T* i) {
    T er[4] = {r[0], r[2], r[4], r[6]}, ei[4] = {i[0], i[2], i[4], i[6]};
    T orr[4] = {r[1], r[3], r[5], r[7]}, oi[4] = {i[1], i[3], i[5], i[7]};
    dft4(er, ei);
    dft4(orr, oi);
    const T o1r = kSqrtHalf * (orr[1] + oi[1]), o1i = kSqrtHalf * (oi[1] - orr[1]);
    const T o2r = oi[2], o2i = -orr[2];
    const T o3r = kSqrtHalf * (oi[3] - orr[3]), o3i = -kSqrtHalf * (orr[3] + oi[3]);
    r[0] = er[0] + orr[0];
    i[0] = ei[0] + oi[0];
    r[4] = er[0] - orr[0];
    i[4] = ei[0] - oi[0];
    r[1] = er[1] + o1r;
    i[1] = ei[1] + o1i;
    r[5] = er[1] - o1r;
    i[5] = ei[1] - o1i;
    r[2] = er[2] + o2r;
    i[2] = ei[2] + o2i;
    r[6] = er[2] - o2r;
    i[6] = ei[2] - o2i;
    r[3] = er[3] + o3r;
    i[3] = ei[3] + o3i;
    r[7] = er[3] - o3r;
    i[7] = ei[3] - o3i;
}

// Radix 9 = 3 x 3: column transforms of x[3 n1 + n2], twiddles
// exp(-2 pi i n2 k1 / 9), row transforms into X[k1 + 3 k2].
template <class T>
MORV_FFT_INLINE void dft9(T* r, T* i) {
    T ar[3][3], ai[3][3];  // [n2][k1]
    #pragma GCC unroll 16
    for (int n2 = 0; n2 < 3; ++n2) {
        ar[n2][0] = r[n2];
        ai[n2][0] = i[n2];
        ar[n2][1] = r[n2 + 3];
        ai[n2][1] = i[n2 + 3];
        ar[n2][2] = r[n2 + 6];
        ai[n2][2] = i[n2 + 6];
        dft3(ar[n2], ai[n2]);
    }
    rotateBy(ar[1][1], ai[1][1], kCos9a, kSin9a);
    rotateBy(ar[1][2], ai[1][2], kCos9b, kSin9b);
    rotateBy(ar[2][1], ai[2][1], kCos9b, kSin9b);
    rotateBy(ar[2][2], ai[2][2], kCos9d, kSin9d);
    #pragma GCC unroll 16
    for (int k1 = 0; k1 < 3; ++k1) {
        T br[3] = {ar[0][k1], ar[1][k1], ar[2][k1]}, bi[3] = {ai[0][k1], ai[1][k1], ai[2][k1]};
        dft3(br, bi);
        r[k1] = br[0];
        i[k1] = bi[0];
        r[k1 + 3] = br[1];
        i[k1 + 3] = bi[1];
        r[k1 + 6] = br[2];
        i[k1 + 6] = bi[2];
    }
}

// Radix 10 = 2 x 5 by the prime-factor (Good-Thomas) mapping, which needs no
// twiddles: input n = (5 n1 + 2 n2) mod 10, output k = (5 k1 + 6 k2) mod 10.
// Streamed as dft7Streamed: the differences wait in memory while the sums
// are transformed and handed on.
template <class T, class In, class Out>
MORV_FFT_INLINE void dft10Streamed(In in, Out out) {
    T sr[5], si[5], dr[5], di[5];  // k1 = 0 and k1 = 1, by n2
#pragma GCC unroll 16
    for (int n2 = 0; n2 < 5; ++n2) {
        T ar, ai, br, bi;
        in((2 * n2) % 10, ar, ai);
        in((5 + 2 * n2) % 10, br, bi);
        sr[n2] = ar + br;
        si[n2] = ai + bi;
        dr[n2] = ar - br;
        di[n2] = ai - bi;
    }
    keepInMemory(dr);
    keepInMemory(di);
    dft5(sr, si);
#pragma GCC unroll 16
    for (int k2 = 0; k2 < 5; ++k2) out((6 * k2) % 10, sr[k2], si[k2]);
    dft5(dr, di);
#pragma GCC unroll 16
    for (int k2 = 0; k2 < 5; ++k2) out((5 + 6 * k2) % 10, dr[k2], di[k2]);
}

template <class T>
MORV_FFT_INLINE void dft10(T* r, T* i) {
    dft10Streamed<T>([&](int j, T& a, T& b) { a = r[j], b = i[j]; }, [&](int u, T a, T b) { r[u] = a, i[u] = b; });
}

// Radix 16 = 4 x 4: column transforms of x[4 n1 + n2], twiddles
// exp(-2 pi i n2 k1 / 16), row transforms into X[k1 + 4 k2]. Streamed as
// dft7Streamed: each column is read, transformed and twiddled in turn, each
// row then transformed and its outputs handed on. The 32 values between the
// passes cannot all stay in registers: kStaged sets them down in memory,
// once each, which costs less than what the register allocator spills unless
// the caller holds many registers of its own (the twiddle powers of a walk
// across groups).
template <class T, bool kStaged = true, class In, class Out>
MORV_FFT_INLINE void dft16Streamed(In in, Out out) {
    T ar[4][4], ai[4][4];  // [n2][k1]
#pragma GCC unroll 16
    for (int n2 = 0; n2 < 4; ++n2) {
        T cr[4], ci[4];
        in(n2, cr[0], ci[0]);
        in(n2 + 4, cr[1], ci[1]);
        in(n2 + 8, cr[2], ci[2]);
        in(n2 + 12, cr[3], ci[3]);
        dft4(cr, ci);
        if (n2 == 1) {
            // Twiddles w^1, w^2, w^3 with w = exp(-i pi / 8).
            rotateBy(cr[1], ci[1], kCos22, kSin22);
            const T xr = cr[2], xi = ci[2];
            cr[2] = kSqrtHalf * (xr + xi);
            ci[2] = kSqrtHalf * (xi - xr);
            rotateBy(cr[3], ci[3], kSin22, kCos22);
        } else if (n2 == 2) {
            // w^2, w^4 = -i, w^6.
            const T xr = cr[1], xi = ci[1];
            cr[1] = kSqrtHalf * (xr + xi);
            ci[1] = kSqrtHalf * (xi - xr);
            const T yr = cr[2], yi = ci[2];
            cr[2] = yi;
            ci[2] = -yr;
            const T zr = cr[3], zi = ci[3];
            cr[3] = kSqrtHalf * (zi - zr);
            ci[3] = -kSqrtHalf * (zr + zi);
        } else if (n2 == 3) {
            // w^3, w^6, w^9.
            rotateBy(cr[1], ci[1], kSin22, kCos22);
            const T zr = cr[2], zi = ci[2];
            cr[2] = kSqrtHalf * (zi - zr);
            ci[2] = -kSqrtHalf * (zr + zi);
            rotateBy(cr[3], ci[3], -kCos22, -kSin22);
        }
#pragma GCC unroll 4
        for (int k1 = 0; k1 < 4; ++k1) {
            ar[n2][k1] = cr[k1];
            ai[n2][k1] = ci[k1];
        }
    }
    if constexpr (kStaged) {
        keepInMemory(ar);
        keepInMemory(ai);
    }
#pragma GCC unroll 16
    for (int k1 = 0; k1 < 4; ++k1) {
        T br[4] = {ar[0][k1], ar[1][k1], ar[2][k1], ar[3][k1]};
        T bi[4] = {ai[0][k1], ai[1][k1], ai[2][k1], ai[3][k1]};
        dft4(br, bi);
        out(k1, br[0], bi[0]);
        out(k1 + 4, br[1], bi[1]);
        out(k1 + 8, br[2], bi[2]);
        out(k1 + 12, br[3], bi[3]);
    }
}

template <class T>
MORV_FFT_INLINE void dft16(T* r, T* i) {
    dft16Streamed<T>([&](int j, T& a, T& b) { a = r[j], b = i[j]; }, [&](int u, T a, T b) { r[u] = a, i[u] = b; });
}

// The kernel of a fixed radix (1 is the identity of the one-stage m = 1).
template <int R, class T>
MORV_FFT_INLINE void dft(T* r, T* i) {
    if constexpr (R == 2) dft2(r, i);
    if constexpr (R == 3) dft3(r, i);
    if constexpr (R == 4) dft4(r, i);
    if constexpr (R == 5) dft5(r, i);
    if constexpr (R == 7) dft7(r, i);
    if constexpr (R == 8) dft8(r, i);
    if constexpr (R == 9) dft9(r, i);
    if constexpr (R == 10) dft10(r, i);
    if constexpr (R == 16) dft16(r, i);
}

// The kernel of a fixed radix fed by in(j, re, im) and handing each output
// to out(u, re, im): radices 7, 10 and 16 interleave reading, arithmetic and
// output; the others read everything, transform, then hand everything on.
// kStaged as for dft16Streamed.
template <int R, class T, bool kStaged = true, class In, class Out>
MORV_FFT_INLINE void dftStreamed(In in, Out out) {
    if constexpr (R == 7) {
        dft7Streamed<T>(in, out);
    } else if constexpr (R == 10) {
        dft10Streamed<T>(in, out);
    } else if constexpr (R == 16) {
        dft16Streamed<T, kStaged>(in, out);
    } else {
        T r[R], i[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) in(j, r[j], i[j]);
        dft<R>(r, i);
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) out(j, r[j], i[j]);
    }
}

}  // namespace MORV_FFT_ISA
}  // namespace fftkernels
