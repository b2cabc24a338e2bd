#include "framework/fft_plan.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "framework/portable_math.h"

namespace {

using portable::kPi;
// Radices tried when factoring, largest first.
constexpr int kRadixOrder[] = {16, 10, 9, 8, 7, 5, 4, 3, 2};

}  // namespace

FftPlan::FftPlan(int length) : n(length) {
    if (n < 2 || n % 2 != 0) return;
    m = n / 2;
    factorise();
    if (factor[1] > OddRadixKernel::kMaxRadix || stageCount > kMaxStages) return;
    buildSplitTables();
    permutations_.reset(new int[2 * static_cast<size_t>(m)]);
    perm = permutations_.get();
    inversePerm = perm + m;
    buildPermutation();
    work_.reset(new double[2 * static_cast<size_t>(m)]);
    re = work_.get();
    im = re + m;
    buildStageRotations();
    buildStageTwiddles();
    valid = true;
}

// Factoring of m into stages: the largest radices split off first, a
// leftover factor recorded last; the list is then reversed, so stage 1 runs
// the last radix found.
void FftPlan::factorise() {
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

void FftPlan::buildSplitTables() {
    split_.reset(new double[2 * static_cast<size_t>(m)]);
    cosTable = split_.get();
    sinTable = cosTable + m;
    // Tables and rotations from portable_math.h, so that both builds
    // transform with the same bits.
    for (int k = 0; k < m; ++k) portable::sinCos(kPi * k / m, &sinTable[k], &cosTable[k]);
}

// Digit-reversal permutation and its inverse: a mixed-radix counter with one
// digit per stage, carried from stage 1 upwards.
void FftPlan::buildPermutation() {
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

// One cosine and one sine per stage s >= 2, and room for its S twiddles.
void FftPlan::buildStageRotations() {
    int offset = 0;
    for (int s = 2; s <= stageCount; ++s) {
        twiddleOffset[s] = offset;
        offset += sofar[s];
        const double omega = 2.0 * kPi / (static_cast<double>(sofar[s]) * factor[s]);
        portable::sinCos(omega, &rotationSin[s], &rotationCos[s]);
        rotationSin[s] = -rotationSin[s];
    }
    const int room = std::max(offset, 1);
    twiddles_.reset(new double[2 * static_cast<size_t>(room)]);
    twRe = twiddles_.get();
    twIm = twRe + room;
}

// For every stage s >= 2 the butterfly twiddles w^d, d = 0 .. S - 1,
// w = exp(-2 pi i / (S R)), advanced by rotation in four interleaved chains
// (w^d, w^(d+1), w^(d+2), w^(d+3), each stepped by w^4, so that the products
// do not wait on one another). The powers w^(j d), j = 2 .. R - 1, are made
// from them inside the stage.
void FftPlan::buildStageTwiddles() {
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
