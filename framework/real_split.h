#pragma once

// The real transform around the half-length complex one: forward packs the
// N real samples into m = N / 2 complex values z_n = x_2n + i x_2n+1 and
// splits their transform Z into the PackedSpectrum; inverse pre-combines the
// spectrum into conj Z, runs the same forward stages and writes the
// conjugated, scaled result back as samples. Stage 1 is fused with the
// packing and the pre-combination, and the inverse's last stage with the
// output, wherever the radix has a dedicated kernel. Compiled once per
// instruction set (fft_driver.h).

#include "framework/fft_butterfly.h"
#include "framework/fft_plan.h"
#include "framework/fft_stages.h"

namespace fftkernels {
inline namespace MORV_FFT_ISA {


// Stage 1 of forward, fused with the packing: the group whose first index is
// i = inversePerm[k0] transforms z[k0 + j Q1], j = 0 .. R - 1 (the digit
// reversal makes its members Q1 apart), with z_n = x_2n + i x_2n+1; it writes
// y[i + j]. Groups k0, k0 + 1, ... are read together, as many as T has lanes.
template <int R, class T>
int packGroups(const double* x, double* re, double* im, int Q1, const int* inversePerm, int k0) {
    using L = Lanes<T>;
    for (; k0 + L::kCount <= Q1; k0 += L::kCount) {
        T zr[R], zi[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) L::loadComplex(x + 2 * (k0 + j * Q1), zr[j], zi[j]);
        dft<R>(zr, zi);
        // Unrolled, so that the pointers stay in registers instead of being
        // stored and read back.
        double* outRe[L::kCount];
        double* outIm[L::kCount];
#pragma GCC unroll 4
        for (int l = 0; l < L::kCount; ++l) {
            outRe[l] = re + inversePerm[k0 + l];
            outIm[l] = im + inversePerm[k0 + l];
        }
        L::template storeColumns<R>(outRe, zr);
        L::template storeColumns<R>(outIm, zi);
    }
    return k0;
}

#if MORV_FFT_AVX
// packGroups for radix 2, two groups at a time: the sum and difference are
// taken on the samples as they lie, (Re z_k, Im z_k, Re z_k+1, Im z_k+1), and
// an in-lane unpack then puts each group's two real outputs side by side,
// another its two imaginary ones; no deinterleaving on the way in.
inline int packRadix2Groups(const double* x, double* re, double* im, int Q1, const int* inversePerm, int k0) {
    using L = Lanes<Quad>;
    for (; k0 + 2 <= Q1; k0 += 2) {
        const Quad a = L::load(x + 2 * k0), b = L::load(x + 2 * (k0 + Q1));
        const Quad sum = a + b, difference = a - b;
        const int first = inversePerm[k0], second = inversePerm[k0 + 1];
        L::storeSpans(re + first, second - first, pick<0, 4, 2, 6>(sum, difference));
        L::storeSpans(im + first, second - first, pick<1, 5, 3, 7>(sum, difference));
    }
    return k0;
}
#endif

template <int R>
struct FirstStageForward {
    static void run(const double* x, double* re, double* im, int Q1, const int* inversePerm) {
#if MORV_FFT_AVX
        int k0 = R == 2 ? packRadix2Groups(x, re, im, Q1, inversePerm, 0)
                        : packGroups<R, Wide>(x, re, im, Q1, inversePerm, 0);
        k0 = packGroups<R, Pair>(x, re, im, Q1, inversePerm, k0);
#else
        int k0 = packGroups<R, Wide>(x, re, im, Q1, inversePerm, 0);
#endif
        packGroups<R, double>(x, re, im, Q1, inversePerm, k0);
    }
};

#if MORV_FFT_VECTOR
// Stages 1 and 2 of forward in one pass when stage 1 is radix 2, so that
// stage 2 has S = 2: the two butterflies of its group g read y[2 R g + 2 j]
// and y[2 R g + 2 j + 1], j = 0 .. R - 1, which are the sum and difference of
// z_k and z_k+Q1 with k = kRest + j Q2 (the digit reversal gives the stage-2
// digit the weight Q2 = remain[2], and kRest = perm[2 R g] the higher digits).
// Those sums and differences are formed in registers and go straight into
// the radix-R butterflies, the lanes laid out as stage 2 lays them out
// (butterflies 0 and 1 of a group side by side), so every value is what the
// two stages give when run apart; only the stores and loads between them
// go.
template <int R>
struct FusedFirstStagesForward {
    // The butterflies of group g: input j at x + 2 (k + j Q2) and its partner
    // Q1 further on, outputs at re, im + base + 2 u.
    template <class T, class Load, class Store>
    static MORV_FFT_INLINE void groupButterflies(const T* wr, const T* wi, Load load, Store store) {
        dftStreamed<R, T>(
            [&](int j, T& a, T& b) {
                load(j, a, b);
                if (j > 0) twiddle(a, b, wr[j], wi[j]);
            },
            store);
    }

    static void run(const double* x, double* re, double* im, const int* perm, int Q1, int Q2, const double* twr,
                    const double* twi) {
        constexpr int span = 2 * R;
        int g = 0;
#if MORV_FFT_AVX
        {
            // Groups g and g + 1 fill the four lanes: (g, 0), (g, 1), (g + 1, 0), (g + 1, 1).
            using L = Lanes<Quad>;
            Quad wr[R], wi[R];
            twiddlePowers<R>(wr, wi, Quad{twr[0], twr[1], twr[0], twr[1]}, Quad{twi[0], twi[1], twi[0], twi[1]});
            for (; g + 2 <= Q2; g += 2) {
                const int k0 = perm[g * span], k1 = perm[(g + 1) * span];
                const double* p = x + 2 * k0;
                const int apart = 2 * (k1 - k0);
                double* pr = re + g * span;
                double* pi = im + g * span;
                groupButterflies<Quad>(
                    wr, wi,
                    [&](int j, Quad& a, Quad& b) {
                        const Quad u = L::loadSpans(p + 2 * j * Q2, apart);
                        const Quad v = L::loadSpans(p + 2 * (j * Q2 + Q1), apart);
                        const Quad sum = u + v, difference = u - v;
                        a = pick<0, 4, 2, 6>(sum, difference);
                        b = pick<1, 5, 3, 7>(sum, difference);
                    },
                    [&](int u, Quad a, Quad b) {
                        L::storeSpans(pr + 2 * u, span, a);
                        L::storeSpans(pi + 2 * u, span, b);
                    });
            }
        }
#endif
        using L = Lanes<Pair>;
        Pair wr[R], wi[R];
        twiddlePowers<R>(wr, wi, L::load(twr), L::load(twi));
        for (; g < Q2; ++g) {
            const double* p = x + 2 * perm[g * span];
            double* pr = re + g * span;
            double* pi = im + g * span;
            groupButterflies<Pair>(
                wr, wi,
                [&](int j, Pair& a, Pair& b) {
                    const Pair u = L::load(p + 2 * j * Q2), v = L::load(p + 2 * (j * Q2 + Q1));
                    const Pair sum = u + v, difference = u - v;
                    a = lows(sum, difference);
                    b = highs(sum, difference);
                },
                [&](int u, Pair a, Pair b) {
                    L::store(pr + 2 * u, a);
                    L::store(pi + 2 * u, b);
                });
        }
    }
};

// Runs stages 1 and 2 of forward fused when they can be (stage 1 radix 2,
// stage 2 with a dedicated kernel); false otherwise.
inline bool packAndRunFirstTwoStages(const double* x, FftPlan& p) {
    if (p.stageCount < 2 || p.factor[1] != 2) return false;
    return withDedicatedRadix<FusedFirstStagesForward>(p.factor[2], x, p.re, p.im,
                                                       static_cast<const int*>(p.perm), p.remain[1], p.remain[2],
                                                       p.twiddlesRe(2), p.twiddlesIm(2));
}
#else
inline bool packAndRunFirstTwoStages(const double*, FftPlan&) { return false; }
#endif

// Bins k, k + 1, ... and their mirrors m - k, m - k - 1, ... (the two share
// their four inputs), as many as T has lanes. With E_k = (Z_k + conj
// Z_{m-k}) / 2 and O_k = (Z_k - conj Z_{m-k}) / (2i), X_k = E_k +
// exp(-i pi k / m) O_k. With P = t2 C - t1 Sn and Q = t2 Sn + t1 C (C, Sn at
// k; at m - k the cosine changes sign), X_k = ((a + b + P) + i (c - d - Q)) / 2
// and X_{m-k} = ((a + b - P) + i (d - c - Q)) / 2. Returns the first bin left.
// (The plan's fields come in as values: the stores to x may alias anything.)
template <class T>
int splitBinPairs(const double* re, const double* im, const double* cosTable, const double* sinTable, int m,
                  double* x, int k) {
    using L = Lanes<T>;
    for (; 2 * (k + L::kCount - 1) < m; k += L::kCount) {
        const int j = m - k;
        const T a = L::load(re + k), c = L::load(im + k);
        const T b = L::loadDescending(re + j), d = L::loadDescending(im + j);
        const T C = L::load(cosTable + k), Sn = L::load(sinTable + k);
        const T t1 = a - b, t2 = c + d;
        const T P = t2 * C - t1 * Sn, Q = t2 * Sn + t1 * C;
        const T sum = a + b;
        L::storeComplex(x + 2 * k - 1, 0.5 * (sum + P), 0.5 * (c - d - Q));
        L::storeComplexDescending(x + 2 * j - 1, 0.5 * (sum - P), 0.5 * (d - c - Q));
    }
    return k;
}

// The inverse's pre-combination of bin k of the PackedSpectrum x into the
// conjugated half-length spectrum, times 2 (the halving is folded into the
// final scaling by 1 / N). With u = a + c, v = a - c, p = b + d and
// q = b - d it reads y = (u - Sn v - p C) + i (Sn p - v C - q).
MORV_FFT_INLINE void precombine(const double* x, int m, int k, const double* cosTable, const double* sinTable,
                                double& yr, double& yi) {
    if (k == 0) {
        yr = x[0] + x[2 * m - 1];
        yi = x[2 * m - 1] - x[0];
        return;
    }
    const int j = m - k;
    const double a = x[2 * k - 1], b = x[2 * k], c = x[2 * j - 1], d = x[2 * j];
    const double C = cosTable[k], Sn = sinTable[k];
    const double u = a + c, v = a - c, p = b + d, q = b - d;
    yr = u - Sn * v - p * C;
    yi = Sn * p - v * C - q;
}

// Stage 1 of inverse, fused with the pre-combination: as FirstStageForward,
// with the group members pre-combined from the spectrum on the fly.
template <int R>
struct FirstStageInverse {
    static void group(const double* x, double* re, double* im, int m, int Q1, const int* inversePerm,
                      const double* cosTable, const double* sinTable, int k0) {
        double zr[R], zi[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) precombine(x, m, k0 + j * Q1, cosTable, sinTable, zr[j], zi[j]);
        dft<R>(zr, zi);
        double* r0 = re + inversePerm[k0];
        double* i0 = im + inversePerm[k0];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) {
            r0[j] = zr[j];
            i0[j] = zi[j];
        }
    }

#if MORV_FFT_VECTOR
    // Bins k and m - k share their inputs, and member j of group k0 mirrors
    // member R - 1 - j of group Q1 - k0, so groups k0, k0 + 1, ... (as many
    // as T has lanes) and their mirrors Q1 - k0, Q1 - k0 - 1, ... are built
    // together; there the mirror bin, whose cosine is -C, gets (u + Sn v + p C)
    // + i (Sn p - v C + q). The sums are grouped as u -/+ (Sn v + p C), which
    // rounds differently from precombine, so this walk has no one-lane form:
    // a Quad walk hands its leftovers to the Pair walk, which covers the same
    // groups as if it had run alone, and the groups left after that go to
    // group(). Returns the first group left over.
    template <class T>
    static int mirroredGroups(const double* x, double* re, double* im, int m, int Q1, const int* inversePerm,
                              const double* cosTable, const double* sinTable, int k0) {
        using L = Lanes<T>;
        constexpr int kLanes = L::kCount;
        for (; 2 * k0 + 2 * (kLanes - 1) < Q1; k0 += kLanes) {
            T lr[R], li[R], hr[R], hi[R];  // groups k0, k0 + 1, ... and Q1 - k0, Q1 - k0 - 1, ...
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                const int k = k0 + j * Q1, mk = m - k;
                T a, b, c, d;
                L::loadComplex(x + 2 * k - 1, a, b);
                L::loadComplexDescending(x + 2 * mk - 1, c, d);
                const T C = L::load(cosTable + k), Sn = L::load(sinTable + k);
                const T u = a + c, v = a - c, p = b + d, q = b - d;
                const T A = Sn * v + p * C, B = Sn * p - v * C;
                lr[j] = u - A;
                li[j] = B - q;
                hr[R - 1 - j] = u + A;
                hi[R - 1 - j] = B + q;
            }
            dft<R>(lr, li);
            dft<R>(hr, hi);
            double* lowRe[kLanes];
            double* lowIm[kLanes];
            double* highRe[kLanes];
            double* highIm[kLanes];
#pragma GCC unroll 4
            for (int l = 0; l < kLanes; ++l) {
                lowRe[l] = re + inversePerm[k0 + l];
                lowIm[l] = im + inversePerm[k0 + l];
                highRe[l] = re + inversePerm[Q1 - k0 - l];
                highIm[l] = im + inversePerm[Q1 - k0 - l];
            }
            L::template storeColumns<R>(lowRe, lr);
            L::template storeColumns<R>(lowIm, li);
            L::template storeColumns<R>(highRe, hr);
            L::template storeColumns<R>(highIm, hi);
        }
        return k0;
    }
#endif

    static void run(const double* x, double* re, double* im, int m, int Q1, const int* inversePerm,
                    const double* cosTable, const double* sinTable) {
        group(x, re, im, m, Q1, inversePerm, cosTable, sinTable, 0);  // holds bins 0 and m, mirrors itself
        int k0 = 1;
#if MORV_FFT_VECTOR
        k0 = mirroredGroups<Wide>(x, re, im, m, Q1, inversePerm, cosTable, sinTable, k0);
#endif
#if MORV_FFT_AVX
        k0 = mirroredGroups<Pair>(x, re, im, m, Q1, inversePerm, cosTable, sinTable, k0);
#endif
        for (; k0 <= Q1 - k0; ++k0) {
            group(x, re, im, m, Q1, inversePerm, cosTable, sinTable, k0);
            if (k0 != Q1 - k0) group(x, re, im, m, Q1, inversePerm, cosTable, sinTable, Q1 - k0);
        }
    }
};

// The last stage of inverse (remain 1) fused with the output: butterflies d,
// d + 1, ... (as many as T has lanes) write their results y_k straight to
// x[2k] = scale Re y_k and x[2k + 1] = -scale Im y_k (the conjugation that
// ends the inverse). Returns the first butterfly left over.
template <int R, class T>
int lastButterflies(const double* re, const double* im, int S, const double* twr, const double* twi, double* x,
                    double scale, int d) {
    using L = Lanes<T>;
    for (; d + L::kCount <= S; d += L::kCount) {
        T wr[R], wi[R];
        twiddlePowers<R>(wr, wi, L::load(twr + d), L::load(twi + d));
        dftStreamed<R, T>(
            [&](int j, T& a, T& b) {
                a = L::load(re + j * S + d), b = L::load(im + j * S + d);
                if (j > 0) twiddle(a, b, wr[j], wi[j]);
            },
            [&](int u, T a, T b) { L::storeComplex(x + 2 * (d + u * S), a * scale, b * -scale); });
    }
    return d;
}

template <int R>
struct LastStageInverse {
    static void run(const double* re, const double* im, int S, const double* twr, const double* twi, double* x,
                    double scale) {
        int d = lastButterflies<R, Wide>(re, im, S, twr, twi, x, scale, 0);
#if MORV_FFT_AVX
        d = lastButterflies<R, Pair>(re, im, S, twr, twi, x, scale, d);
#endif
        lastButterflies<R, double>(re, im, S, twr, twi, x, scale, d);
    }
};

// The samples from the work arrays, from index k on, as many at a time as T
// has lanes. Returns the first index left over.
template <class T>
int writeSamples(const double* re, const double* im, int m, double* x, double scale, int k) {
    using L = Lanes<T>;
    for (; k + L::kCount <= m; k += L::kCount)
        L::storeComplex(x + 2 * k, L::load(re + k) * scale, L::load(im + k) * -scale);
    return k;
}

// Packs x in digit-reversed order into the work arrays and runs stage 1.
inline void packAndRunFirstStage(const double* x, FftPlan& p) {
    if (withDedicatedRadix<FirstStageForward>(p.factor[1], x, p.re, p.im, p.remain[1],
                                                          static_cast<const int*>(p.inversePerm)))
        return;
    // A general odd first radix: plain packing, then the stage in place.
    double* re = p.re;
    double* im = p.im;
    const int* perm = p.perm;
    for (int i = 0; i < p.m; ++i) {
        re[i] = x[2 * perm[i]];
        im[i] = x[2 * perm[i] + 1];
    }
    p.oddKernel.runFirstStage(re, im, p.factor[1], p.remain[1]);
}

// Bin 0 is Re Z_0 + Im Z_0 and bin m is Re Z_0 - Im Z_0 (the sum of the even
// samples plus, or minus, the sum of the odd ones); the middle bin of an even
// m pairs with itself.
inline void splitIntoSpectrum(const FftPlan& p, double* x) {
    x[0] = p.re[0] + p.im[0];
    x[p.n - 1] = p.re[0] - p.im[0];
    int k = splitBinPairs<Wide>(p.re, p.im, p.cosTable, p.sinTable, p.m, x, 1);
#if MORV_FFT_AVX
    k = splitBinPairs<Pair>(p.re, p.im, p.cosTable, p.sinTable, p.m, x, k);
#endif
    k = splitBinPairs<double>(p.re, p.im, p.cosTable, p.sinTable, p.m, x, k);
    if (2 * k == p.m) {
        const double a = p.re[k], c = p.im[k];
        const double t2 = 2.0 * c;
        x[2 * k - 1] = 0.5 * (2.0 * a + t2 * p.cosTable[k]);
        x[2 * k] = -0.5 * t2 * p.sinTable[k];
    }
}

// Pre-combines the PackedSpectrum x into conj Z (times 2) in digit-reversed
// order in the work arrays and runs stage 1.
inline void precombineAndRunFirstStage(const double* x, FftPlan& p) {
    if (withDedicatedRadix<FirstStageInverse>(
            p.factor[1], x, p.re, p.im, p.m, p.remain[1], static_cast<const int*>(p.inversePerm),
            static_cast<const double*>(p.cosTable), static_cast<const double*>(p.sinTable)))
        return;
    double* re = p.re;
    double* im = p.im;
    const int* inversePerm = p.inversePerm;
    const int m = p.m;
    for (int k = 0; k < m; ++k) precombine(x, m, k, p.cosTable, p.sinTable, re[inversePerm[k]], im[inversePerm[k]]);
    p.oddKernel.runFirstStage(re, im, p.factor[1], p.remain[1]);
}

// Runs the last stage (when there are two or more) and writes the samples
// x[2k] = Re y_k / N, x[2k + 1] = -Im y_k / N.
inline void runLastStageIntoSamples(FftPlan& p, double* x) {
    const int last = p.stageCount;
    const double scale = 1.0 / p.n;
    if (last >= 2) {
        if (withDedicatedRadix<LastStageInverse>(p.factor[last], static_cast<const double*>(p.re),
                                                             static_cast<const double*>(p.im), p.sofar[last],
                                                             p.twiddlesRe(last), p.twiddlesIm(last), x, scale))
            return;
        runComplexStage(p, last);
    }
    int k = writeSamples<Wide>(p.re, p.im, p.m, x, scale, 0);
#if MORV_FFT_AVX
    k = writeSamples<Pair>(p.re, p.im, p.m, x, scale, k);
#endif
    writeSamples<double>(p.re, p.im, p.m, x, scale, k);
}

// z_n = x_2n + i x_2n+1 packed in digit-reversed order, the m-point transform
// Z by the stages, then split into the PackedSpectrum.
inline void forwardTransform(FftPlan& p, double* x) {
    int s = 3;
    if (!packAndRunFirstTwoStages(x, p)) {
        packAndRunFirstStage(x, p);
        s = 2;
    }
    for (; s <= p.stageCount; ++s) runComplexStage(p, s);
    splitIntoSpectrum(p, x);
}

// The half spectrum pre-combined into conj Z in digit-reversed order, so that
// the forward stages compute m conj(z); the output conjugates and scales it.
inline void inverseTransform(FftPlan& p, double* x) {
    precombineAndRunFirstStage(x, p);
    runMiddleStages(p);
    runLastStageIntoSamples(p, x);
}

}  // namespace MORV_FFT_ISA
}  // namespace fftkernels
