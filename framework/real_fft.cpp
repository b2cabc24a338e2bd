#include "framework/real_fft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "framework/fft_kernels.h"
#include "framework/portable_math.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kStageSlots = 22;  // stages are counted from 1; the reversal reads remain[J + 1]
constexpr int kMaxStages = 19;
constexpr int kHalfMaxRadix = RealFft::kMaxRadix / 2 + 1;  // 51
// Radices tried when factoring, largest first.
constexpr int kRadixOrder[] = {16, 10, 9, 8, 7, 5, 4, 3, 2};

#if MORV_FFT_VECTOR
using fftkernels::load2;
using fftkernels::store2;
using fftkernels::V2;
#endif

}  // namespace

struct RealFft::Plan {
    // Stage lists, counted from 1.
    int sofar[kStageSlots] = {};
    int factor[kStageSlots] = {};
    int remain[kStageSlots] = {};
    // Scratch of the general odd-radix kernel.
    double oddCos[kMaxRadix] = {};
    double oddSin[kMaxRadix] = {};  // -sin(2 pi j / R)
    double zRe[kMaxRadix] = {};
    double zIm[kMaxRadix] = {};
    double sumRe[kHalfMaxRadix] = {};
    double sumIm[kHalfMaxRadix] = {};
    double diffRe[kHalfMaxRadix] = {};
    double diffIm[kHalfMaxRadix] = {};
    int stageCount = 0;
    int cachedOddRadix = 0;
    int n = 0;
    int m = 0;
    bool valid = false;
    // perm[i], inversePerm[i]: one allocation of 2m.
    std::unique_ptr<int[]> permutations;
    int* perm = nullptr;
    int* inversePerm = nullptr;
    // Work arrays: real and imaginary parts, one allocation of 2m.
    std::unique_ptr<double[]> work;
    double* re = nullptr;
    double* im = nullptr;
    // Split tables cos(pi k / m), sin(pi k / m): one allocation of 2m.
    std::unique_ptr<double[]> split;
    double* cosTable = nullptr;
    double* sinTable = nullptr;
    // Stage twiddles w^d, d = 0 .. S - 1, of every stage s >= 2, rebuilt by
    // rotation at every run of the stages (buildStageTwiddles); the powers
    // w^(j d) are made from them by products inside each butterfly.
    std::unique_ptr<double[]> twiddles;
    double* twRe = nullptr;
    double* twIm = nullptr;
    int twiddleOffset[kStageSlots] = {};
    // cos and -sin of 2 pi / (S R) for every stage s >= 2: the rotation.
    double rotationCos[kStageSlots] = {};
    double rotationSin[kStageSlots] = {};

    void factorise();
    void buildPermutation();
    void buildStageTwiddles();
    void runFirstStageInPlace();
    void runMiddleStages();
    void writeInverseOutput(double* x) const;
    void runStage(int s);
    void splitInto(double* x) const;
    void oddKernel(double* r, double* i, int radix);
};

// Factoring of m into stages.
void RealFft::Plan::factorise() {
    int found[kStageSlots];
    int count = 0;
    if (m < 5) {
        found[count++] = m;
    } else {
        int rest = m;
        for (int radix : kRadixOrder) {
            while (rest != 1 && rest % radix == 0) {
                found[count++] = radix;
                rest /= radix;
            }
            if (rest == 1) break;
        }
        if (rest > 1) found[count++] = rest;
    }
    stageCount = count;
    for (int s = 1; s <= count; ++s) factor[s] = found[count - s];
    sofar[1] = 1;
    for (int s = 2; s <= count; ++s) sofar[s] = sofar[s - 1] * factor[s - 1];
    remain[0] = m;
    for (int s = 1; s <= count; ++s) remain[s] = remain[s - 1] / factor[s];
}

// Digit-reversal permutation and its inverse (construction step 5).
void RealFft::Plan::buildPermutation() {
    int counter[kStageSlots] = {};
    int k = 0;
    for (int i = 0; i + 1 < m; ++i) {
        perm[i] = k;
        inversePerm[k] = i;
        k += remain[1];
        ++counter[1];
        for (int j = 1; counter[j] >= factor[j]; ++j) {
            counter[j] = 0;
            k += remain[j + 1] - remain[j - 1];
            ++counter[j + 1];
        }
    }
    perm[m - 1] = m - 1;
    inversePerm[m - 1] = m - 1;
}

// Stage twiddles by complex rotation (one cosine and one sine per stage,
// computed at construction, then products): for every stage s >= 2 the
// butterfly twiddles w^d, d = 0 .. S - 1, w = exp(-2 pi i / (S R)), advanced
// by rotation in four interleaved chains (w^d, w^(d+1), w^(d+2), w^(d+3), each
// stepped by w^4, so that the products do not wait on one another). The
// powers w^(j d), j = 2 .. R - 1, are made from them inside the stage.
void RealFft::Plan::buildStageTwiddles() {
    for (int s = 2; s <= stageCount; ++s) {
        const int S = sofar[s];
        const double c = rotationCos[s], sn = rotationSin[s];
        double* tr = twRe + twiddleOffset[s];
        double* ti = twIm + twiddleOffset[s];
        double wr[4], wi[4];
        wr[0] = 1.0;
        wi[0] = 0.0;
        for (int l = 1; l < 4; ++l) {
            wr[l] = wr[l - 1] * c - wi[l - 1] * sn;
            wi[l] = wr[l - 1] * sn + wi[l - 1] * c;
        }
        // The step w^4 = w^3 * w.
        const double stepR = wr[3] * c - wi[3] * sn, stepI = wr[3] * sn + wi[3] * c;
        int d = 0;
        for (; d + 4 <= S; d += 4) {
            for (int l = 0; l < 4; ++l) {
                tr[d + l] = wr[l];
                ti[d + l] = wi[l];
                const double nr = wr[l] * stepR - wi[l] * stepI;
                wi[l] = wr[l] * stepI + wi[l] * stepR;
                wr[l] = nr;
            }
        }
        for (int l = 0; d < S; ++d, ++l) {
            tr[d] = wr[l];
            ti[d] = wi[l];
        }
    }
}

// The general odd-radix kernel with its cached cosine and sine table.
void RealFft::Plan::oddKernel(double* r, double* i, int radix) {
    if (radix != cachedOddRadix) {
        const double omega = 2.0 * kPi / radix;
        double sn, c;
        portable::sinCos(omega, &sn, &c);
        sn = -sn;
        oddCos[0] = 1.0;
        oddSin[0] = 0.0;
        oddCos[1] = c;
        oddSin[1] = sn;
        for (int j = 2; j < radix; ++j) {
            oddCos[j] = oddCos[j - 1] * c - oddSin[j - 1] * sn;
            oddSin[j] = oddCos[j - 1] * sn + oddSin[j - 1] * c;
        }
        cachedOddRadix = radix;
    }
    const int half = (radix - 1) / 2;
    double y0r = r[0], y0i = i[0];
    for (int j = 1; j <= half; ++j) {
        sumRe[j] = r[j] + r[radix - j];
        sumIm[j] = i[j] + i[radix - j];
        diffRe[j] = r[j] - r[radix - j];
        diffIm[j] = i[j] - i[radix - j];
        y0r += sumRe[j];
        y0i += sumIm[j];
    }
    for (int u = 1; u <= half; ++u) {
        // a = z0 + sum cos(ju) s_j; b = sum (-sin(ju)) d_j; y_u = a + i b.
        double ar = r[0], ai = i[0], br = 0.0, bi = 0.0;
        int ju = 0;
        for (int j = 1; j <= half; ++j) {
            ju += u;
            if (ju >= radix) ju -= radix;
            ar += oddCos[ju] * sumRe[j];
            ai += oddCos[ju] * sumIm[j];
            br += oddSin[ju] * diffRe[j];
            bi += oddSin[ju] * diffIm[j];
        }
        zRe[u] = ar - bi;
        zIm[u] = ai + br;
        zRe[radix - u] = ar + bi;
        zIm[radix - u] = ai - br;
    }
    r[0] = y0r;
    i[0] = y0i;
    for (int u = 1; u < radix; ++u) {
        r[u] = zRe[u];
        i[u] = zIm[u];
    }
}

namespace {

using fftkernels::dft;
#if MORV_FFT_VECTOR
using fftkernels::highs;
using fftkernels::lows;
using fftkernels::swapped;
#endif

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

// Multiplies z[j], j = 1 .. R - 1, by w^j.
template <int R, class T>
MORV_FFT_INLINE void applyTwiddles(T* zr, T* zi, T w1r, T w1i) {
    T wr[R], wi[R];
    twiddlePowers<R>(wr, wi, w1r, w1i);
#pragma GCC unroll 16
    for (int j = 1; j < R; ++j) twiddle(zr[j], zi[j], wr[j], wi[j]);
}

// One butterfly of a stage, in place at p + j S, with the twiddle w at tw.
template <int R>
MORV_FFT_INLINE void butterfly(double* pr, double* pi, int S, const double* twr, const double* twi) {
    double zr[R], zi[R];
    zr[0] = pr[0];
    zi[0] = pi[0];
#pragma GCC unroll 16
    for (int j = 1; j < R; ++j) {
        zr[j] = pr[j * S];
        zi[j] = pi[j * S];
    }
    if (R > 1) applyTwiddles<R>(zr, zi, twr[0], twi[0]);
    dft<R>(zr, zi);
#pragma GCC unroll 16
    for (int j = 0; j < R; ++j) {
        pr[j * S] = zr[j];
        pi[j * S] = zi[j];
    }
}

// Butterfly d = 0 of every group of a stage: its twiddles are all 1, so it
// is a plain transform (the untwiddled case). The groups are taken two at
// a time.
template <int R>
void firstButterflies(double* re, double* im, int S, int Q) {
    const int span = S * R;
    int g = 0;
#if MORV_FFT_VECTOR
    for (; g + 2 <= Q; g += 2) {
        double* pr = re + g * span;
        double* pi = im + g * span;
        V2 zr[R], zi[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) {
            zr[j] = V2{pr[j * S], pr[j * S + span]};
            zi[j] = V2{pi[j * S], pi[j * S + span]};
        }
        dft<R>(zr, zi);
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) {
            pr[j * S] = zr[j][0];
            pr[j * S + span] = zr[j][1];
            pi[j * S] = zi[j][0];
            pi[j * S + span] = zi[j][1];
        }
    }
#endif
    for (; g < Q; ++g) {
        double* pr = re + g * span;
        double* pi = im + g * span;
        double zr[R], zi[R];
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) {
            zr[j] = pr[j * S];
            zi[j] = pi[j * S];
        }
        dft<R>(zr, zi);
#pragma GCC unroll 16
        for (int j = 0; j < R; ++j) {
            pr[j * S] = zr[j];
            pi[j * S] = zi[j];
        }
    }
}

// A stage with sofar S >= 2, radix R and remain Q, walking each group's
// butterflies two at a time (their values are contiguous). With an odd S and
// several groups, butterfly 0 of every group goes to firstButterflies and
// the others pair up from d = 1.
template <int R>
void stageAcrossButterflies(double* re, double* im, int S, int Q, const double* twr, const double* twi) {
    const int span = S * R;
    const bool pairFromOne = Q >= 2 && S % 2 == 1;
    if (pairFromOne) firstButterflies<R>(re, im, S, Q);
    int d = pairFromOne ? 1 : 0;
#if MORV_FFT_VECTOR
    if (Q >= 2) {
        // Several groups: the twiddle powers of butterflies d, d + 1 are made
        // once and serve every group.
        for (; d + 2 <= S; d += 2) {
            V2 wr[R], wi[R];
            twiddlePowers<R>(wr, wi, load2(twr + d), load2(twi + d));
            for (int g = 0; g < Q; ++g) {
                double* pr = re + g * span + d;
                double* pi = im + g * span + d;
                V2 zr[R], zi[R];
                zr[0] = load2(pr);
                zi[0] = load2(pi);
#pragma GCC unroll 16
                for (int j = 1; j < R; ++j) {
                    zr[j] = load2(pr + j * S);
                    zi[j] = load2(pi + j * S);
                    twiddle(zr[j], zi[j], wr[j], wi[j]);
                }
                dft<R>(zr, zi);
#pragma GCC unroll 16
                for (int j = 0; j < R; ++j) {
                    store2(pr + j * S, zr[j]);
                    store2(pi + j * S, zi[j]);
                }
            }
        }
        return;
    }
#endif
    for (int g = 0; g < Q; ++g) {
        double* pr = re + g * span;
        double* pi = im + g * span;
        int e = d;
#if MORV_FFT_VECTOR
        for (; e + 2 <= S; e += 2) {
            V2 zr[R], zi[R];
            zr[0] = load2(pr + e);
            zi[0] = load2(pi + e);
#pragma GCC unroll 16
            for (int j = 1; j < R; ++j) {
                zr[j] = load2(pr + j * S + e);
                zi[j] = load2(pi + j * S + e);
            }
            if (R > 1) applyTwiddles<R>(zr, zi, load2(twr + e), load2(twi + e));
            dft<R>(zr, zi);
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                store2(pr + j * S + e, zr[j]);
                store2(pi + j * S + e, zi[j]);
            }
        }
#endif
        for (; e < S; ++e) butterfly<R>(pr + e, pi + e, S, twr + e, twi + e);
    }
}

template <int R>
struct TwiddledStage {
    static void run(double* re, double* im, int S, int Q, const double* twr, const double* twi) {
        stageAcrossButterflies<R>(re, im, S, Q, twr, twi);
    }
};

// Stage 1 of forward, fused with the packing: the group whose first index is
// i = inversePerm[k0] transforms z[k0 + j Q1], j = 0 .. R - 1 (the digit
// reversal makes its members Q1 apart), with z_n = x_2n + i x_2n+1; it writes
// y[i + j]. Groups k0 and k0 + 1 are read together.
template <int R>
struct FirstStageForward {
    static void run(const double* x, double* re, double* im, int Q1, const int* inversePerm) {
        int k0 = 0;
#if MORV_FFT_VECTOR
        for (; k0 + 2 <= Q1; k0 += 2) {
            V2 zr[R], zi[R];
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                const double* p = x + 2 * (k0 + j * Q1);
                const V2 a = load2(p), b = load2(p + 2);
                zr[j] = lows(a, b);
                zi[j] = highs(a, b);
            }
            dft<R>(zr, zi);
            double* r0 = re + inversePerm[k0];
            double* i0 = im + inversePerm[k0];
            double* r1 = re + inversePerm[k0 + 1];
            double* i1 = im + inversePerm[k0 + 1];
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                r0[j] = zr[j][0];
                i0[j] = zi[j][0];
                r1[j] = zr[j][1];
                i1[j] = zi[j][1];
            }
        }
#endif
        for (; k0 < Q1; ++k0) {
            double zr[R], zi[R];
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                zr[j] = x[2 * (k0 + j * Q1)];
                zi[j] = x[2 * (k0 + j * Q1) + 1];
            }
            dft<R>(zr, zi);
            double* r0 = re + inversePerm[k0];
            double* i0 = im + inversePerm[k0];
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                r0[j] = zr[j];
                i0[j] = zi[j];
            }
        }
    }
};

// The inverse's pre-combination of bin k of the
// PackedSpectrum x into the conjugated half-length spectrum, times 2 (the
// halving is folded into the final scaling by 1 / N). With u = a + c,
// v = a - c, p = b + d and q = b - d it reads y = (u - Sn v - p C) + i (Sn p - v C - q).
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
// with the group members pre-combined from the spectrum on the fly. Bins k
// and m - k share their inputs, and the member j of group k0 mirrors member
// R - 1 - j of group Q1 - k0, so groups k0, k0 + 1 and their mirrors
// Q1 - k0, Q1 - k0 - 1 are built together; there the mirror bin, whose
// cosine is -C, gets (u + Sn v + p C) + i (Sn p - v C + q).
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

    static void run(const double* x, double* re, double* im, int m, int Q1, const int* inversePerm,
                    const double* cosTable, const double* sinTable) {
        group(x, re, im, m, Q1, inversePerm, cosTable, sinTable, 0);  // holds bins 0 and m, mirrors itself
        int k0 = 1;
#if MORV_FFT_VECTOR
        for (; 2 * k0 + 2 < Q1; k0 += 2) {
            V2 lr[R], li[R], hr[R], hi[R];  // groups k0, k0 + 1 and Q1 - k0, Q1 - k0 - 1
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                const int k = k0 + j * Q1, mk = m - k;
                const V2 lo = load2(x + 2 * k - 1), up = load2(x + 2 * k + 1);
                const V2 a = lows(lo, up), b = highs(lo, up);
                const V2 mlo = load2(x + 2 * mk - 1), mup = load2(x + 2 * mk - 3);
                const V2 c = lows(mlo, mup), d = highs(mlo, mup);
                const V2 C = load2(cosTable + k), Sn = load2(sinTable + k);
                const V2 u = a + c, v = a - c, p = b + d, q = b - d;
                const V2 A = Sn * v + p * C, B = Sn * p - v * C;
                lr[j] = u - A;
                li[j] = B - q;
                hr[R - 1 - j] = u + A;
                hi[R - 1 - j] = B + q;
            }
            dft<R>(lr, li);
            dft<R>(hr, hi);
            double* r0 = re + inversePerm[k0];
            double* i0 = im + inversePerm[k0];
            double* r1 = re + inversePerm[k0 + 1];
            double* i1 = im + inversePerm[k0 + 1];
            double* r2 = re + inversePerm[Q1 - k0];
            double* i2 = im + inversePerm[Q1 - k0];
            double* r3 = re + inversePerm[Q1 - k0 - 1];
            double* i3 = im + inversePerm[Q1 - k0 - 1];
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                r0[j] = lr[j][0];
                i0[j] = li[j][0];
                r1[j] = lr[j][1];
                i1[j] = li[j][1];
                r2[j] = hr[j][0];
                i2[j] = hi[j][0];
                r3[j] = hr[j][1];
                i3[j] = hi[j][1];
            }
        }
#endif
        for (; k0 <= Q1 - k0; ++k0) {
            group(x, re, im, m, Q1, inversePerm, cosTable, sinTable, k0);
            if (k0 != Q1 - k0) group(x, re, im, m, Q1, inversePerm, cosTable, sinTable, Q1 - k0);
        }
    }
};

// The last stage of inverse (remain 1) fused with the output: the butterfly
// results y_k go straight to x[2k] = scale Re y_k and x[2k + 1] =
// -scale Im y_k (the conjugation that ends the inverse).
template <int R>
struct LastStageInverse {
    static void run(const double* re, const double* im, int S, const double* twr, const double* twi, double* x,
                    double scale) {
        int d = 0;
#if MORV_FFT_VECTOR
        for (; d + 2 <= S; d += 2) {
            V2 zr[R], zi[R];
            zr[0] = load2(re + d);
            zi[0] = load2(im + d);
#pragma GCC unroll 16
            for (int j = 1; j < R; ++j) {
                zr[j] = load2(re + j * S + d);
                zi[j] = load2(im + j * S + d);
            }
            if (R > 1) applyTwiddles<R>(zr, zi, load2(twr + d), load2(twi + d));
            dft<R>(zr, zi);
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                const V2 r = zr[j] * scale, i = zi[j] * -scale;
                double* out = x + 2 * (d + j * S);
                store2(out, lows(r, i));
                store2(out + 2, highs(r, i));
            }
        }
#endif
        for (; d < S; ++d) {
            double zr[R], zi[R];
            zr[0] = re[d];
            zi[0] = im[d];
#pragma GCC unroll 16
            for (int j = 1; j < R; ++j) {
                zr[j] = re[j * S + d];
                zi[j] = im[j * S + d];
            }
            if (R > 1) applyTwiddles<R>(zr, zi, twr[d], twi[d]);
            dft<R>(zr, zi);
#pragma GCC unroll 16
            for (int j = 0; j < R; ++j) {
                x[2 * (d + j * S)] = zr[j] * scale;
                x[2 * (d + j * S) + 1] = -zi[j] * scale;
            }
        }
    }
};

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

}  // namespace

// One complex stage s >= 2: dedicated kernels, else the general
// odd-radix kernel.
void RealFft::Plan::runStage(int s) {
    const int S = sofar[s], R = factor[s], Q = remain[s];
    const double* tr = twRe + twiddleOffset[s];
    const double* ti = twIm + twiddleOffset[s];
    if (withDedicatedRadix<TwiddledStage>(R, re, im, S, Q, tr, ti)) return;
    const int span = S * R;
    for (int g = 0; g < Q; ++g) {
        for (int d = 0; d < S; ++d) {
            const int b = g * span + d;
            double wr = 1.0, wi = 0.0;  // w^(j d), by successive products
            for (int j = 0; j < R; ++j) {
                zRe[j] = re[b + j * S];
                zIm[j] = im[b + j * S];
                if (j > 0 && d > 0) {
                    const double nr = wr * tr[d] - wi * ti[d];
                    wi = wr * ti[d] + wi * tr[d];
                    wr = nr;
                    twiddle(zRe[j], zIm[j], wr, wi);
                }
            }
            oddKernel(zRe, zIm, R);
            for (int j = 0; j < R; ++j) {
                re[b + j * S] = zRe[j];
                im[b + j * S] = zIm[j];
            }
        }
    }
}

// Stage 1 without fusion (general odd radix): the work arrays already hold
// the digit-reversed sequence.
void RealFft::Plan::runFirstStageInPlace() {
    const int R = factor[1], Q = remain[1];
    for (int g = 0; g < Q; ++g) oddKernel(re + g * R, im + g * R, R);
}

void RealFft::Plan::runMiddleStages() {
    buildStageTwiddles();
    for (int s = 2; s < stageCount; ++s) runStage(s);
}

RealFft::RealFft(int n) : plan_(new Plan) {
    Plan& p = *plan_;
    p.n = n;
    if (n < 2 || n % 2 != 0) return;
    const int m = n / 2;
    p.m = m;
    p.factorise();
    if (p.factor[1] > kMaxRadix || p.stageCount > kMaxStages) return;

    p.split.reset(new double[2 * static_cast<size_t>(m)]);
    p.cosTable = p.split.get();
    p.sinTable = p.cosTable + m;
    // Tables and rotations from portable_math.h, so that both builds transform
    // with the same bits.
    for (int k = 0; k < m; ++k) portable::sinCos(kPi * k / m, &p.sinTable[k], &p.cosTable[k]);
    p.permutations.reset(new int[2 * static_cast<size_t>(m)]);
    p.perm = p.permutations.get();
    p.inversePerm = p.perm + m;
    p.buildPermutation();
    p.work.reset(new double[2 * static_cast<size_t>(m)]);
    p.re = p.work.get();
    p.im = p.re + m;
    int offset = 0;
    for (int s = 2; s <= p.stageCount; ++s) {
        p.twiddleOffset[s] = offset;
        offset += p.sofar[s];
        const double omega = 2.0 * kPi / (static_cast<double>(p.sofar[s]) * p.factor[s]);
        portable::sinCos(omega, &p.rotationSin[s], &p.rotationCos[s]);
        p.rotationSin[s] = -p.rotationSin[s];
    }
    p.twiddles.reset(new double[2 * static_cast<size_t>(std::max(offset, 1))]);
    p.twRe = p.twiddles.get();
    p.twIm = p.twRe + std::max(offset, 1);
    p.cachedOddRadix = 0;
    p.valid = true;
}

RealFft::~RealFft() = default;

bool RealFft::valid() const { return plan_->valid; }

int RealFft::length() const { return plan_->n; }

std::vector<int> RealFft::stages() const {
    std::vector<int> list;
    if (!plan_->valid) return list;
    for (int s = 1; s <= plan_->stageCount; ++s) list.push_back(plan_->factor[s]);
    return list;
}

void RealFft::forward(double* x) {
    Plan& p = *plan_;
    if (!p.valid) return;
    const int m = p.m;
    double* re = p.re;
    double* im = p.im;
    // Pack z_n = x_2n + i x_2n+1 in digit-reversed order and run stage 1.
    if (!withDedicatedRadix<FirstStageForward>(p.factor[1], static_cast<const double*>(x), re, im, p.remain[1],
                                               static_cast<const int*>(p.inversePerm))) {
        for (int i = 0; i < m; ++i) {
            re[i] = x[2 * p.perm[i]];
            im[i] = x[2 * p.perm[i] + 1];
        }
        p.runFirstStageInPlace();
    }
    p.runMiddleStages();
    if (p.stageCount >= 2) p.runStage(p.stageCount);
    p.splitInto(x);
}

// Split Z (the transform of z_n = x_2n + i x_2n+1) into the real spectrum.
// With E_k = (Z_k + conj Z_{m-k}) / 2 and O_k = (Z_k - conj Z_{m-k}) / (2i),
// X_k = E_k + exp(-i pi k / m) O_k; bin 0 is Re Z_0 + Im Z_0 and bin m is
// Re Z_0 - Im Z_0. Bins k and m - k share their four inputs: with
// P = t2 C - t1 Sn and Q = t2 Sn + t1 C (C, Sn at k; at m - k the cosine
// changes sign), X_k = ((a + b + P) + i (c - d - Q)) / 2 and
// X_{m-k} = ((a + b - P) + i (d - c - Q)) / 2.
void RealFft::Plan::splitInto(double* x) const {
    x[0] = re[0] + im[0];
    x[n - 1] = re[0] - im[0];
    int k = 1;
#if MORV_FFT_VECTOR
    for (; 2 * (k + 1) < m; k += 2) {
        const int j = m - k;  // lanes: k, k + 1 and j, j - 1
        const V2 a = load2(re + k), c = load2(im + k);
        const V2 b = swapped(load2(re + j - 1)), d = swapped(load2(im + j - 1));
        const V2 C = load2(cosTable + k), Sn = load2(sinTable + k);
        const V2 t1 = a - b, t2 = c + d;
        const V2 P = t2 * C - t1 * Sn, Q = t2 * Sn + t1 * C;
        const V2 sum = a + b;
        const V2 lowRe = 0.5 * (sum + P), lowIm = 0.5 * (c - d - Q);
        const V2 highRe = 0.5 * (sum - P), highIm = 0.5 * (d - c - Q);
        store2(x + 2 * k - 1, lows(lowRe, lowIm));
        store2(x + 2 * k + 1, highs(lowRe, lowIm));
        store2(x + 2 * j - 1, lows(highRe, highIm));
        store2(x + 2 * j - 3, highs(highRe, highIm));
    }
#endif
    for (; 2 * k < m; ++k) {
        const int j = m - k;
        const double a = re[k], b = re[j], c = im[k], d = im[j];
        const double t1 = a - b, t2 = c + d;
        const double C = cosTable[k], Sn = sinTable[k];
        const double P = t2 * C - t1 * Sn, Q = t2 * Sn + t1 * C;
        x[2 * k - 1] = 0.5 * (a + b + P);
        x[2 * k] = 0.5 * (c - d - Q);
        x[2 * j - 1] = 0.5 * (a + b - P);
        x[2 * j] = 0.5 * (d - c - Q);
    }
    if (2 * k == m) {  // the middle bin pairs with itself
        const double a = re[k], c = im[k];
        const double t2 = 2.0 * c;
        x[2 * k - 1] = 0.5 * (2.0 * a + t2 * cosTable[k]);
        x[2 * k] = -0.5 * t2 * sinTable[k];
    }
}

void RealFft::inverse(double* x) {
    Plan& p = *plan_;
    if (!p.valid) return;
    const int m = p.m;
    double* re = p.re;
    double* im = p.im;
    // Pre-combine the half spectrum into the conjugate of Z (the transform of
    // z_n = x_2n + i x_2n+1) in digit-reversed order, so that the forward
    // stages compute m conj(z); stage 1 runs on the fly.
    if (!withDedicatedRadix<FirstStageInverse>(p.factor[1], static_cast<const double*>(x), re, im, m, p.remain[1],
                                               static_cast<const int*>(p.inversePerm),
                                               static_cast<const double*>(p.cosTable),
                                               static_cast<const double*>(p.sinTable))) {
        for (int k = 0; k < m; ++k) precombine(x, m, k, p.cosTable, p.sinTable, re[p.inversePerm[k]], im[p.inversePerm[k]]);
        p.runFirstStageInPlace();
    }
    // The remaining stages; the last one writes the samples, conjugated and
    // scaled by 1/m (and by the 1/2 left out of the pre-combination).
    p.runMiddleStages();
    const int last = p.stageCount;
    const double scale = 1.0 / p.n;
    if (last >= 2 &&
        withDedicatedRadix<LastStageInverse>(p.factor[last], static_cast<const double*>(re),
                                             static_cast<const double*>(im), p.sofar[last],
                                             static_cast<const double*>(p.twRe + p.twiddleOffset[last]),
                                             static_cast<const double*>(p.twIm + p.twiddleOffset[last]), x, scale))
        return;
    if (last >= 2) p.runStage(last);
    p.writeInverseOutput(x);
}

void RealFft::Plan::writeInverseOutput(double* x) const {
    const double scale = 1.0 / n;
    int k = 0;
#if MORV_FFT_VECTOR
    for (; k + 2 <= m; k += 2) {
        const V2 r = load2(re + k) * scale, i = load2(im + k) * -scale;
        store2(x + 2 * k, lows(r, i));
        store2(x + 2 * k + 2, highs(r, i));
    }
#endif
    for (; k < m; ++k) {
        x[2 * k] = re[k] * scale;
        x[2 * k + 1] = -im[k] * scale;
    }
}

// The even length without a prime factor above 7 nearest to target.
int chooseTransformLength(int target, int base) {
    if (target <= base) return base;
    // k_p: the exponent of the smallest power of p above the target.
    const int primes[4] = {2, 3, 5, 7};
    int exponent[4];
    int64_t limit = INT64_MAX;
    for (int q = 0; q < 4; ++q) {
        int k = 0;
        int64_t power = 1;
        while (power <= target) {
            power *= primes[q];
            ++k;
        }
        exponent[q] = k;
        limit = std::min(limit, power);
    }
    std::vector<int64_t> candidates;
    int64_t p2 = base;
    for (int a = 0; a < exponent[0] && p2 <= limit; ++a, p2 *= 2) {
        int64_t p3 = p2;
        for (int b = 0; b < exponent[1] && p3 <= limit; ++b, p3 *= 3) {
            int64_t p5 = p3;
            for (int c = 0; c < exponent[2] && p5 <= limit; ++c, p5 *= 5) {
                int64_t p7 = p5;
                for (int d = 0; d < exponent[3] && p7 <= limit; ++d, p7 *= 7) candidates.push_back(p7);
            }
        }
    }
    std::sort(candidates.begin(), candidates.end());
    for (size_t i = candidates.size(); i-- > 1;) {
        const int64_t lo = candidates[i - 1], hi = candidates[i];
        if (lo <= target && target <= hi) return static_cast<int>(target - lo <= hi - target ? lo : hi);
    }
    return static_cast<int>(candidates.back());
}
