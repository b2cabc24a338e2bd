#pragma once

// The sample types the transform's loops are written over, and how each is
// loaded and stored. A loop body written once over T runs with T = double (one
// butterfly, one bin), T = Pair (two doubles processed lane by lane) or, where
// the file is compiled for AVX, T = Quad (four doubles); the arithmetic of
// every lane is the same in all of them, so the results are too. Lanes<T>
// tells how many values a T carries and moves them between memory and
// registers.
//
// These headers are compiled once per instruction set (fft_driver.h): the
// inline namespace keeps each set's copy of the inline functions apart, so
// the linker never hands an AVX body to code that runs without AVX.

#include <cstring>

#if defined(__AVX__)
#include <immintrin.h>
#endif

#if defined(__GNUC__) && !defined(MORV_FFT_SCALAR_ONLY)
#define MORV_FFT_VECTOR 1
#define MORV_FFT_INLINE inline __attribute__((always_inline))
#define MORV_FFT_NOINLINE __attribute__((noinline))
#else
#define MORV_FFT_VECTOR 0
#define MORV_FFT_INLINE inline
#define MORV_FFT_NOINLINE
#endif

#if MORV_FFT_VECTOR && defined(__AVX__)
#define MORV_FFT_AVX 1
#define MORV_FFT_ISA avx
#else
#define MORV_FFT_AVX 0
#define MORV_FFT_ISA baseline
#endif

namespace fftkernels {
inline namespace MORV_FFT_ISA {

// Makes the compiler set a local array down in memory at this point and read
// it back afterwards instead of holding its values in registers: for many
// values that are each read once, long after they were made, a store and a
// load apiece cost less than what the register allocator spills. Emits no
// instruction.
template <class A>
MORV_FFT_INLINE void keepInMemory(A& a) {
#if MORV_FFT_VECTOR
    asm("" : "+m"(a));
#else
    (void)a;
#endif
}

// Lanes<T>: kCount values per T, and where lane l lives in memory:
//   load, store                          p + l
//   gather, scatter                      p + l stride
//   loadDescending                       p - l (mirror bins walked downwards)
//   loadComplex, storeComplex            the (real, imaginary) pair at p + 2 l
//   loadComplexDescending, ...Descending the pair at p - 2 l
//   storeColumns<R>                      z[j] lane l at out[l] + j, j < R
//   loadSpans, storeSpans (Quad only)    p, p + 1, p + span, p + span + 1
// and lane(v, l) reads one lane of a register.
template <class T>
struct Lanes;

template <>
struct Lanes<double> {
    static constexpr int kCount = 1;

    static MORV_FFT_INLINE double load(const double* p) { return *p; }
    static MORV_FFT_INLINE void store(double* p, double v) { *p = v; }
    static MORV_FFT_INLINE double gather(const double* p, int) { return *p; }
    static MORV_FFT_INLINE void scatter(double* p, int, double v) { *p = v; }
    static MORV_FFT_INLINE double loadDescending(const double* p) { return *p; }
    static MORV_FFT_INLINE void loadComplex(const double* p, double& re, double& im) {
        re = p[0];
        im = p[1];
    }
    static MORV_FFT_INLINE void loadComplexDescending(const double* p, double& re, double& im) {
        loadComplex(p, re, im);
    }
    static MORV_FFT_INLINE void storeComplex(double* p, double re, double im) {
        p[0] = re;
        p[1] = im;
    }
    static MORV_FFT_INLINE void storeComplexDescending(double* p, double re, double im) { storeComplex(p, re, im); }
    template <int R>
    static MORV_FFT_INLINE void storeColumns(double* const* out, const double* z) {
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) out[0][j] = z[j];
    }
    static MORV_FFT_INLINE double lane(double v, int) { return v; }
};

#if MORV_FFT_VECTOR
// Two doubles processed lane by lane (SSE2 on x86, NEON or plain code
// elsewhere); GCC and Clang generate the vector instructions themselves.
typedef double Pair __attribute__((vector_size(16)));
typedef long long PairIndex __attribute__((vector_size(16)));

// Lanes 0 of a and b, lanes 1 of a and b, and a with its lanes exchanged.
#if defined(__clang__)
MORV_FFT_INLINE Pair lows(Pair a, Pair b) { return __builtin_shufflevector(a, b, 0, 2); }
MORV_FFT_INLINE Pair highs(Pair a, Pair b) { return __builtin_shufflevector(a, b, 1, 3); }
MORV_FFT_INLINE Pair swapped(Pair a) { return __builtin_shufflevector(a, a, 1, 0); }
#else
MORV_FFT_INLINE Pair lows(Pair a, Pair b) { return __builtin_shuffle(a, b, PairIndex{0, 2}); }
MORV_FFT_INLINE Pair highs(Pair a, Pair b) { return __builtin_shuffle(a, b, PairIndex{1, 3}); }
MORV_FFT_INLINE Pair swapped(Pair a) { return __builtin_shuffle(a, PairIndex{1, 0}); }
#endif

template <>
struct Lanes<Pair> {
    static constexpr int kCount = 2;

    static MORV_FFT_INLINE Pair load(const double* p) {
        Pair v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static MORV_FFT_INLINE void store(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }
    static MORV_FFT_INLINE Pair gather(const double* p, int stride) { return Pair{p[0], p[stride]}; }
    static MORV_FFT_INLINE void scatter(double* p, int stride, Pair v) {
        p[0] = v[0];
        p[stride] = v[1];
    }
    static MORV_FFT_INLINE Pair loadDescending(const double* p) { return swapped(load(p - 1)); }
    static MORV_FFT_INLINE void loadComplex(const double* p, Pair& re, Pair& im) {
        const Pair a = load(p), b = load(p + 2);
        re = lows(a, b);
        im = highs(a, b);
    }
    static MORV_FFT_INLINE void loadComplexDescending(const double* p, Pair& re, Pair& im) {
        const Pair a = load(p), b = load(p - 2);
        re = lows(a, b);
        im = highs(a, b);
    }
    static MORV_FFT_INLINE void storeComplex(double* p, Pair re, Pair im) {
        store(p, lows(re, im));
        store(p + 2, highs(re, im));
    }
    static MORV_FFT_INLINE void storeComplexDescending(double* p, Pair re, Pair im) {
        store(p, lows(re, im));
        store(p - 2, highs(re, im));
    }
    // Two registers at a time, turned into rows of two by lows and highs.
    template <int R>
    static MORV_FFT_INLINE void storeColumns(double* const* out, const Pair* z) {
#pragma GCC unroll 16
        for (int j = 0; j + 1 < R; j += 2) {
            store(out[0] + j, lows(z[j], z[j + 1]));
            store(out[1] + j, highs(z[j], z[j + 1]));
        }
        if (R % 2 == 1) {
            out[0][R - 1] = z[R - 1][0];
            out[1][R - 1] = z[R - 1][1];
        }
    }
    static MORV_FFT_INLINE double lane(Pair v, int l) { return v[l]; }
};

#if MORV_FFT_AVX
// Four doubles processed lane by lane, in one AVX register. Moving halves
// between registers and memory takes the AVX intrinsics: through memcpy the
// compiler builds the register on the stack.
typedef double Quad __attribute__((vector_size(32)));
typedef long long QuadIndex __attribute__((vector_size(32)));

// Lanes I0 .. I3 of the eight in a and b (0 .. 3 from a, 4 .. 7 from b).
template <int I0, int I1, int I2, int I3>
MORV_FFT_INLINE Quad pick(Quad a, Quad b) {
#if defined(__clang__)
    return __builtin_shufflevector(a, b, I0, I1, I2, I3);
#else
    return __builtin_shuffle(a, b, QuadIndex{I0, I1, I2, I3});
#endif
}

template <>
struct Lanes<Quad> {
    static constexpr int kCount = 4;

    static MORV_FFT_INLINE Quad load(const double* p) {
        Quad v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static MORV_FFT_INLINE void store(double* p, Quad v) { std::memcpy(p, &v, sizeof v); }
    static MORV_FFT_INLINE Quad gather(const double* p, int stride) {
        return Quad{p[0], p[stride], p[2 * stride], p[3 * stride]};
    }
    static MORV_FFT_INLINE void scatter(double* p, int stride, Quad v) {
        storeLanes(p, p + stride, p + 2 * stride, p + 3 * stride, v);
    }
    static MORV_FFT_INLINE Quad loadDescending(const double* p) {
        const Quad v = load(p - 3);
        return pick<3, 2, 1, 0>(v, v);
    }
    // a = (re0, im0, re1, im1), b = (re2, im2, re3, im3).
    static MORV_FFT_INLINE void loadComplex(const double* p, Quad& re, Quad& im) {
        const Quad a = load(p), b = load(p + 4);
        re = pick<0, 2, 4, 6>(a, b);
        im = pick<1, 3, 5, 7>(a, b);
    }
    // a = (re1, im1, re0, im0), b = (re3, im3, re2, im2).
    static MORV_FFT_INLINE void loadComplexDescending(const double* p, Quad& re, Quad& im) {
        const Quad a = load(p - 2), b = load(p - 6);
        re = pick<2, 0, 6, 4>(a, b);
        im = pick<3, 1, 7, 5>(a, b);
    }
    static MORV_FFT_INLINE void storeComplex(double* p, Quad re, Quad im) {
        store(p, pick<0, 4, 1, 5>(re, im));
        store(p + 4, pick<2, 6, 3, 7>(re, im));
    }
    static MORV_FFT_INLINE void storeComplexDescending(double* p, Quad re, Quad im) {
        store(p - 2, pick<1, 5, 0, 4>(re, im));
        store(p - 6, pick<3, 7, 2, 6>(re, im));
    }
    // Two registers at a time: (a0, b0, a2, b2) and (a1, b1, a3, b3) hold
    // the rows of lanes 0, 2 and 1, 3 in their halves.
    template <int R>
    static MORV_FFT_INLINE void storeColumns(double* const* out, const Quad* z) {
#pragma GCC unroll 16
        for (int j = 0; j + 1 < R; j += 2) {
            storeHalves(out[0] + j, out[2] + j, pick<0, 4, 2, 6>(z[j], z[j + 1]));
            storeHalves(out[1] + j, out[3] + j, pick<1, 5, 3, 7>(z[j], z[j + 1]));
        }
        if (R % 2 == 1) storeLanes(out[0] + R - 1, out[1] + R - 1, out[2] + R - 1, out[3] + R - 1, z[R - 1]);
    }
    // (p[0], p[1], p[span], p[span + 1]): two butterflies of two groups.
    static MORV_FFT_INLINE Quad loadSpans(const double* p, int span) {
        return Quad(_mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(p)), _mm_loadu_pd(p + span), 1));
    }
    static MORV_FFT_INLINE void storeSpans(double* p, int span, Quad v) { storeHalves(p, p + span, v); }
    static MORV_FFT_INLINE double lane(Quad v, int l) { return v[l]; }

private:
    static MORV_FFT_INLINE void storeHalves(double* low, double* high, Quad v) {
        _mm_storeu_pd(low, _mm256_castpd256_pd128(__m256d(v)));
        _mm_storeu_pd(high, _mm256_extractf128_pd(__m256d(v), 1));
    }
    // Lane l to p_l, from the register's halves: lane by lane through v[l] the
    // compiler goes through the stack, and the narrow reloads of the wide
    // store stall.
    static MORV_FFT_INLINE void storeLanes(double* p0, double* p1, double* p2, double* p3, Quad v) {
        const __m128d low = _mm256_castpd256_pd128(__m256d(v)), high = _mm256_extractf128_pd(__m256d(v), 1);
        _mm_storel_pd(p0, low);
        _mm_storeh_pd(p1, low);
        _mm_storel_pd(p2, high);
        _mm_storeh_pd(p3, high);
    }
};

// The widest sample type of this build.
using Wide = Quad;
#else
using Wide = Pair;
#endif
#else
using Wide = double;
#endif

}  // namespace MORV_FFT_ISA
}  // namespace fftkernels
