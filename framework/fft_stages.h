#pragma once

// Stage drivers of the half-length complex transform: the butterfly walks
// of one stage over the plan's work arrays, in place. Compiled once per
// instruction set (fft_driver.h).

#include "framework/fft_butterfly.h"
#include "framework/fft_plan.h"

namespace fftkernels {
inline namespace MORV_FFT_ISA {


// Butterfly d = 0 of every group from group g on: its twiddles are all 1, so
// it is a plain transform. Groups are taken as many at a time as T has lanes
// (their butterflies lie span apart); returns the first group left over.
template <int R, class T>
inline int untwiddledButterflies(double* re, double* im, int S, int Q, int g) {
    using L = Lanes<T>;
    const int span = S * R;
    for (; g + L::kCount <= Q; g += L::kCount) {
        double* pr = re + g * span;
        double* pi = im + g * span;
        dftStreamed<R, T>([&](int j, T& a, T& b) { a = L::gather(pr + j * S, span), b = L::gather(pi + j * S, span); },
                          [&](int u, T a, T b) {
                              L::scatter(pr + u * S, span, a);
                              L::scatter(pi + u * S, span, b);
                          });
    }
    return g;
}

// Butterflies d, d + 1, ... of a stage with a single group, as many at a
// time as T has lanes (their values are contiguous). Returns the first
// butterfly left over.
template <int R, class T>
MORV_FFT_INLINE int singleGroupButterflies(double* re, double* im, int S, const double* twr, const double* twi, int d) {
    using L = Lanes<T>;
    for (; d + L::kCount <= S; d += L::kCount) {
        T wr[R], wi[R];
        twiddlePowers<R>(wr, wi, L::load(twr + d), L::load(twi + d));
        dftStreamed<R, T>(
            [&](int j, T& a, T& b) {
                a = L::load(re + j * S + d), b = L::load(im + j * S + d);
                if (j > 0) twiddle(a, b, wr[j], wi[j]);
            },
            [&](int u, T a, T b) {
                L::store(re + u * S + d, a);
                L::store(im + u * S + d, b);
            });
    }
    return d;
}

// Butterflies d, d + 1, ... of every group of a stage with several groups,
// as many at a time as T has lanes. The twiddle powers of those butterflies
// are made once and serve every group (from registers, so radix 16 keeps its
// intermediate values there too). Returns the first butterfly left over.
template <int R, class T>
MORV_FFT_INLINE int acrossGroupButterflies(double* re, double* im, int S, int Q, const double* twr, const double* twi,
                                           int d) {
    using L = Lanes<T>;
    const int span = S * R;
    for (; d + L::kCount <= S; d += L::kCount) {
        T wr[R], wi[R];
        twiddlePowers<R>(wr, wi, L::load(twr + d), L::load(twi + d));
        double* pr = re + d;
        double* pi = im + d;
        for (int g = 0; g < Q; ++g, pr += span, pi += span) {
            dftStreamed<R, T, false>(
                [&](int j, T& a, T& b) {
                    a = L::load(pr + j * S), b = L::load(pi + j * S);
                    if (j > 0) twiddle(a, b, wr[j], wi[j]);
                },
                [&](int u, T a, T b) {
                    L::store(pr + u * S, a);
                    L::store(pi + u * S, b);
                });
        }
    }
    return d;
}

#if MORV_FFT_AVX
// The last two butterflies d = S - 2 and S - 1 of a stage with several
// groups (all of a stage with S = 2): those of groups g and g + 1 fill the
// four lanes together. A group left over runs two wide. A FixedS above 0 is
// S known when compiling, so that every value's address is the group's
// pointer plus a constant.
template <int R, int FixedS = 0>
MORV_FFT_INLINE void lastTwoButterfliesByGroupPairs(double* re, double* im, int stride, int Q, const double* twr,
                                                     const double* twi, int d) {
    using L = Lanes<Quad>;
    const int S = FixedS > 0 ? FixedS : stride;
    const int span = S * R;
    Quad wr[R], wi[R];
    twiddlePowers<R>(wr, wi, Quad{twr[d], twr[d + 1], twr[d], twr[d + 1]},
                     Quad{twi[d], twi[d + 1], twi[d], twi[d + 1]});
    int g = 0;
    for (; g + 2 <= Q; g += 2) {
        double* pr = re + g * span + d;
        double* pi = im + g * span + d;
        dftStreamed<R, Quad>(
            [&](int j, Quad& a, Quad& b) {
                a = L::loadSpans(pr + j * S, span), b = L::loadSpans(pi + j * S, span);
                if (j > 0) twiddle(a, b, wr[j], wi[j]);
            },
            [&](int u, Quad a, Quad b) {
                L::storeSpans(pr + u * S, span, a);
                L::storeSpans(pi + u * S, span, b);
            });
    }
    if (g < Q) acrossGroupButterflies<R, Pair>(re + g * span, im + g * span, S, Q - g, twr, twi, d);
}
#endif

// Butterfly 0 of every group, the widest type first. Out of line, like
// remainingButterflies: inlined beside the twiddled wide loops, these walks
// cost those loops registers and a few per cent of speed.
template <int R>
MORV_FFT_NOINLINE void firstButterflies(double* re, double* im, int S, int Q) {
    int g = untwiddledButterflies<R, Wide>(re, im, S, Q, 0);
#if MORV_FFT_AVX
    g = untwiddledButterflies<R, Pair>(re, im, S, Q, g);
#endif
    untwiddledButterflies<R, double>(re, im, S, Q, g);
}

// What the widest type leaves over, two butterflies at a time when the
// widest type is Quad (of two groups at once when exactly two are left), then
// one at a time (out of line).
template <int R>
MORV_FFT_NOINLINE void remainingButterflies(double* re, double* im, int S, int Q, const double* twr, const double* twi,
                                            int d) {
    if (Q == 1) {
#if MORV_FFT_AVX
        d = singleGroupButterflies<R, Pair>(re, im, S, twr, twi, d);
#endif
        singleGroupButterflies<R, double>(re, im, S, twr, twi, d);
    } else {
#if MORV_FFT_AVX
        if (S == 2) {
            lastTwoButterfliesByGroupPairs<R, 2>(re, im, S, Q, twr, twi, d);
            return;
        }
        if (S - d == 2) {
            lastTwoButterfliesByGroupPairs<R>(re, im, S, Q, twr, twi, d);
            return;
        }
        d = acrossGroupButterflies<R, Pair>(re, im, S, Q, twr, twi, d);
#endif
        acrossGroupButterflies<R, double>(re, im, S, Q, twr, twi, d);
    }
}

// A stage with a dedicated kernel. With an odd S and several groups,
// butterfly 0 of every group runs untwiddled across the groups and the
// others pair up from d = 1; otherwise the butterflies pair up from d = 0.
template <int R>
struct TwiddledStage {
    static void run(double* re, double* im, int S, int Q, const double* twr, const double* twi) {
        int d = 0;
        if (Q >= 2 && S % 2 == 1) {
            firstButterflies<R>(re, im, S, Q);
            d = 1;
        }
        if (Q >= 2)
            d = acrossGroupButterflies<R, Wide>(re, im, S, Q, twr, twi, d);
        else
            d = singleGroupButterflies<R, Wide>(re, im, S, twr, twi, d);
        if (d < S) remainingButterflies<R>(re, im, S, Q, twr, twi, d);
    }
};

// Stage s >= 2 (sofar S, radix R, remain Q): each of the Q groups of S
// butterflies gathers R values S apart, twiddles them by w^(j d) and
// transforms them with the radix's kernel (the general odd-radix kernel when
// there is no dedicated one).
inline void runComplexStage(FftPlan& plan, int s) {
    const int S = plan.sofar[s], R = plan.factor[s], Q = plan.remain[s];
    const double* twr = plan.twiddlesRe(s);
    const double* twi = plan.twiddlesIm(s);
    if (withDedicatedRadix<TwiddledStage>(R, plan.re, plan.im, S, Q, twr, twi)) return;
    plan.oddKernel.runStage(plan.re, plan.im, S, R, Q, twr, twi);
}

// Runs stages 2 .. J - 1 (stage 1 and the last stage are fused with the
// packing and the output).
inline void runMiddleStages(FftPlan& plan) {
    for (int s = 2; s < plan.stageCount; ++s) runComplexStage(plan, s);
}

}  // namespace MORV_FFT_ISA
}  // namespace fftkernels
