#include "framework/real_fft.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "framework/fft_kernels.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kStageSlots = 22;  // stages are counted from 1; the reversal reads remain[J + 1]
constexpr int kMaxStages = 19;
constexpr int kHalfMaxRadix = RealFft::kMaxRadix / 2 + 1;  // 51
// Radices tried when factoring, largest first (Part 2.4).
constexpr int kRadixOrder[] = {16, 10, 9, 8, 7, 5, 4, 3, 2};

}  // namespace

struct RealFft::Plan {
    // Stage lists, counted from 1 (Part 2.4 data model).
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
    // Stage twiddles, rebuilt by rotation at every run of the stages: for the
    // stage with sofar S and radix R, (R - 1) rows of S values (row j holds
    // w^(j d) for d = 0 .. S - 1). The rows of all stages add up to m - 1.
    std::unique_ptr<double[]> twiddles;
    double* twRe = nullptr;
    double* twIm = nullptr;
    int twiddleOffset[kStageSlots] = {};

    void factorise();
    void buildPermutation();
    void buildStageTwiddles();
    void runStages();
    void runStage(int s);
    void oddKernel(double* r, double* i, int radix);
};

// Factoring of m into stages (Part 2.4, construction steps 2 to 4).
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

// Stage twiddles by complex rotation (one cosine and one sine per stage, then
// products): for d = 0 .. S - 1, row 1 is w = exp(-2 pi i d / (S R)), obtained
// by advancing w with the rotation, and row j is w times row j - 1.
void RealFft::Plan::buildStageTwiddles() {
    for (int s = 2; s <= stageCount; ++s) {
        const int S = sofar[s], R = factor[s];
        const double omega = 2.0 * kPi / (static_cast<double>(S) * R);
        const double c = std::cos(omega), sn = -std::sin(omega);
        double* tr = twRe + twiddleOffset[s];
        double* ti = twIm + twiddleOffset[s];
        double wr = 1.0, wi = 0.0;
        for (int d = 0; d < S; ++d) {
            tr[d] = wr;
            ti[d] = wi;
            for (int j = 2; j < R; ++j) {
                const double pr = tr[(j - 2) * S + d], pi = ti[(j - 2) * S + d];
                tr[(j - 1) * S + d] = wr * pr - wi * pi;
                ti[(j - 1) * S + d] = wr * pi + wi * pr;
            }
            const double nr = wr * c - wi * sn;
            wi = wr * sn + wi * c;
            wr = nr;
        }
    }
}

// The general odd-radix kernel with its cached cosine and sine table.
void RealFft::Plan::oddKernel(double* r, double* i, int radix) {
    if (radix != cachedOddRadix) {
        const double omega = 2.0 * kPi / radix;
        const double c = std::cos(omega), sn = -std::sin(omega);
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

// Applies the kernel of a fixed radix R to every butterfly of one stage.
template <int R, class Kernel>
void stageFixed(double* re, double* im, int S, int Q, const double* twr, const double* twi, Kernel kernel) {
    const int span = S * R;
    double zr[R], zi[R];
    for (int g = 0; g < Q; ++g) {
        double* br = re + g * span;
        double* bi = im + g * span;
        for (int d = 0; d < S; ++d) {
            zr[0] = br[d];
            zi[0] = bi[d];
            for (int j = 1; j < R; ++j) {
                const double xr = br[j * S + d], xi = bi[j * S + d];
                if (S > 1) {
                    const double wr = twr[(j - 1) * S + d], wi = twi[(j - 1) * S + d];
                    zr[j] = xr * wr - xi * wi;
                    zi[j] = xr * wi + xi * wr;
                } else {
                    zr[j] = xr;
                    zi[j] = xi;
                }
            }
            kernel(zr, zi);
            for (int j = 0; j < R; ++j) {
                br[j * S + d] = zr[j];
                bi[j * S + d] = zi[j];
            }
        }
    }
}

}  // namespace

void RealFft::Plan::runStage(int s) {
    const int S = sofar[s], R = factor[s], Q = remain[s];
    const double* tr = twRe + twiddleOffset[s];
    const double* ti = twIm + twiddleOffset[s];
    switch (R) {
        case 1: return;
        case 2: stageFixed<2>(re, im, S, Q, tr, ti, fftkernels::dft2<double>); return;
        case 3: stageFixed<3>(re, im, S, Q, tr, ti, fftkernels::dft3<double>); return;
        case 4: stageFixed<4>(re, im, S, Q, tr, ti, fftkernels::dft4<double>); return;
        case 5: stageFixed<5>(re, im, S, Q, tr, ti, fftkernels::dft5<double>); return;
        case 7: stageFixed<7>(re, im, S, Q, tr, ti, fftkernels::dft7<double>); return;
        case 8: stageFixed<8>(re, im, S, Q, tr, ti, fftkernels::dft8<double>); return;
        case 9: stageFixed<9>(re, im, S, Q, tr, ti, fftkernels::dft9<double>); return;
        case 10: stageFixed<10>(re, im, S, Q, tr, ti, fftkernels::dft10<double>); return;
        case 16: stageFixed<16>(re, im, S, Q, tr, ti, fftkernels::dft16<double>); return;
        default: break;
    }
    // General odd radix: gather, twiddle, transform, scatter.
    const int span = S * R;
    for (int g = 0; g < Q; ++g) {
        for (int d = 0; d < S; ++d) {
            const int b = g * span + d;
            double gr[kMaxRadix], gi[kMaxRadix];
            for (int j = 0; j < R; ++j) {
                double xr = re[b + j * S], xi = im[b + j * S];
                if (S > 1 && j > 0) {
                    const double wr = tr[(j - 1) * S + d], wi = ti[(j - 1) * S + d];
                    const double pr = xr * wr - xi * wi;
                    xi = xr * wi + xi * wr;
                    xr = pr;
                }
                gr[j] = xr;
                gi[j] = xi;
            }
            oddKernel(gr, gi, R);
            for (int j = 0; j < R; ++j) {
                re[b + j * S] = gr[j];
                im[b + j * S] = gi[j];
            }
        }
    }
}

void RealFft::Plan::runStages() {
    buildStageTwiddles();
    for (int s = 1; s <= stageCount; ++s) runStage(s);
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
    for (int k = 0; k < m; ++k) {
        p.cosTable[k] = std::cos(kPi * k / m);
        p.sinTable[k] = std::sin(kPi * k / m);
    }
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
        offset += p.sofar[s] * (p.factor[s] - 1);
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
    const int m = p.m, n = p.n;
    double* re = p.re;
    double* im = p.im;
    // Pack z_n = x_2n + i x_2n+1 in digit-reversed order.
    for (int i = 0; i < m; ++i) {
        re[i] = x[2 * p.perm[i]];
        im[i] = x[2 * p.perm[i] + 1];
    }
    p.runStages();
    // Split Z (the transform of the even and odd samples interleaved as one
    // complex sequence) into the real spectrum. With E_k = (Z_k + conj Z_{m-k})/2
    // and O_k = (Z_k - conj Z_{m-k})/(2i), X_k = E_k + exp(-i pi k / m) O_k.
    // Bin 0 is E_0 + O_0 = Re Z_0 + Im Z_0 and bin m is E_0 - O_0.
    x[0] = re[0] + im[0];
    x[n - 1] = re[0] - im[0];
    for (int k = 1; k < m; ++k) {
        const double a = re[k], b = re[m - k], c = im[k], d = im[m - k];
        const double t1 = a - b, t2 = c + d;
        const double C = p.cosTable[k], Sn = p.sinTable[k];
        x[2 * k - 1] = 0.5 * (a + b + t2 * C - t1 * Sn);
        x[2 * k] = 0.5 * (c - d - t2 * Sn - t1 * C);
    }
}

void RealFft::inverse(double* x) {
    Plan& p = *plan_;
    if (!p.valid) return;
    const int m = p.m, n = p.n;
    double* re = p.re;
    double* im = p.im;
    // Pre-combine the half spectrum into the conjugate of Z (the transform of
    // z_n = x_2n + i x_2n+1), so that the forward stages compute m conj(z).
    re[0] = 0.5 * (x[0] + x[n - 1]);
    im[0] = -0.5 * (x[0] - x[n - 1]);
    for (int k = 1; k < m; ++k) {
        const int j = m - k;
        const double a = x[2 * k - 1], b = x[2 * k], c = x[2 * j - 1], d = x[2 * j];
        const double C = p.cosTable[k], Sn = p.sinTable[k];
        const int q = p.inversePerm[k];
        re[q] = 0.5 * ((1.0 - Sn) * a - (b + d) * C + (1.0 + Sn) * c);
        im[q] = -0.5 * ((a - c) * C + (1.0 - Sn) * b - (1.0 + Sn) * d);
    }
    p.runStages();
    const double scale = 1.0 / m;
    for (int k = 0; k < m; ++k) {
        x[2 * k] = re[k] * scale;
        x[2 * k + 1] = -im[k] * scale;
    }
}

// Part 2.4: the even length without a prime factor above 7 nearest to target.
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
