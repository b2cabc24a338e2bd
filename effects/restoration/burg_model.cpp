#include "effects/restoration/burg_model.h"

#include <algorithm>
#include <cstdint>

#include "effects/restoration/quad_lanes.h"
#include "framework/double_pair.h"

namespace {

// Below this error energy the remaining reflection coefficients are undefined.
constexpr double kVanishingEnergy = 1e-20;
// Error energy this far below the input's is rounding error: the model
// already predicts the input exactly, and further orders would only fit the
// rounding, with coefficients of any size.
constexpr double kExactPrediction = 1e-10;

// Levinson update of the filter with the new reflection coefficient k at
// order m: a[i] += k a[m - i] for i = 1 .. m - 1, taken in symmetric pairs.
void addReflection(double* a, int m, double k) {
    a[m] = k;
    const int pairs = (m + 1) / 2;
    // Two pairs at a time: a[i], a[i + 1] against a[m - i], a[m - i - 1].
    const DoublePair kk = splatPair(k);
    int i = 1;
    for (; i + 1 < pairs; i += 2) {
        const DoublePair low = loadPair(a + i);
        const DoublePair reversed = loadPair(a + m - i - 1);
        const DoublePair high = {reversed[1], reversed[0]};
        storePair(a + i, low + kk * high);
        const DoublePair raised = high + kk * low;
        storePair(a + m - i - 1, DoublePair{raised[1], raised[0]});
    }
    for (; i < pairs; ++i) {
        const double low = a[i];
        const double high = a[m - i];
        a[i] = low + k * high;
        a[m - i] = high + k * low;
    }
    if (m % 2 == 0) a[m / 2] *= 1.0 + k;
}

// num = sum f[i] b[i], den = sum f[i]^2 + b[i]^2 over count pairs, in four
// interleaved partial sums.
void errorSums(const double* f, const double* b, int count, double* num, double* den) {
    DoublePair n0 = splatPair(0.0), n1 = n0, d0 = n0, d1 = n0;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const DoublePair f0 = loadPair(f + i), f1 = loadPair(f + i + 2);
        const DoublePair b0 = loadPair(b + i), b1 = loadPair(b + i + 2);
        n0 += f0 * b0;
        n1 += f1 * b1;
        d0 += f0 * f0 + b0 * b0;
        d1 += f1 * f1 + b1 * b1;
    }
    double n = sumPair(n0 + n1), d = sumPair(d0 + d1);
    for (; i < count; ++i) {
        n += f[i] * b[i];
        d += f[i] * f[i] + b[i] * b[i];
    }
    *num = n;
    *den = d;
}

// One order of the lattice on the pairs (f[i], b[i]), i < pairs:
// f[i] += k b[i] and b[i] = b[i + 1] + k f[i + 1] (old values), keeping
// pairs - 1 of them; accumulates the sums of the result for the next order
// in the same pass. Each step reads f and b up to i + 2 before it writes
// i and i + 1, so the old values are still there.
void updateErrors(double* f, double* b, int pairs, double k, double* num, double* den) {
    const int kept = pairs - 1;
    const DoublePair kk = splatPair(k);
    DoublePair n0 = splatPair(0.0), n1 = n0, d0 = n0, d1 = n0;
    int i = 0;
    for (; i + 4 <= kept; i += 4) {
        const DoublePair forward0 = loadPair(f + i) + kk * loadPair(b + i);
        const DoublePair backward0 = loadPair(b + i + 1) + kk * loadPair(f + i + 1);
        storePair(f + i, forward0);
        storePair(b + i, backward0);
        const DoublePair forward1 = loadPair(f + i + 2) + kk * loadPair(b + i + 2);
        const DoublePair backward1 = loadPair(b + i + 3) + kk * loadPair(f + i + 3);
        storePair(f + i + 2, forward1);
        storePair(b + i + 2, backward1);
        n0 += forward0 * backward0;
        n1 += forward1 * backward1;
        d0 += forward0 * forward0 + backward0 * backward0;
        d1 += forward1 * forward1 + backward1 * backward1;
    }
    double n = sumPair(n0 + n1), d = sumPair(d0 + d1);
    for (; i < kept; ++i) {
        const double forward = f[i] + k * b[i];
        const double backward = b[i + 1] + k * f[i + 1];
        f[i] = forward;
        b[i] = backward;
        n += forward * backward;
        d += forward * forward + backward * backward;
    }
    *num = n;
    *den = d;
}

#ifdef MORV_QUAD_LANES
// errorSums with the two pair accumulators of each sum in one four-lane
// register: the same operations on the same values.
MORV_QUAD_TARGET void errorSumsQuad(const double* f, const double* b, int count, double* num, double* den) {
    DoubleQuad nq = splatQuad(0.0), dq = nq;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const DoubleQuad fq = loadQuad(f + i);
        const DoubleQuad bq = loadQuad(b + i);
        nq += fq * bq;
        dq += fq * fq + bq * bq;
    }
    double n = sumQuadAsPairs(nq), d = sumQuadAsPairs(dq);
    for (; i < count; ++i) {
        n += f[i] * b[i];
        d += f[i] * f[i] + b[i] * b[i];
    }
    *num = n;
    *den = d;
}

// updateErrors with the two pair accumulators of each sum in one four-lane
// register: a step of four pairs from i.
MORV_QUAD_TARGET inline void updateQuadStep(double* f, double* b, int i, DoubleQuad kk, DoubleQuad& nq,
                                            DoubleQuad& dq) {
    const DoubleQuad forward = loadQuad(f + i) + kk * loadQuad(b + i);
    const DoubleQuad backward = loadQuad(b + i + 1) + kk * loadQuad(f + i + 1);
    storeQuad(f + i, forward);
    storeQuad(b + i, backward);
    nq += forward * backward;
    dq += forward * forward + backward * backward;
}

// The pairs from i to kept, after the four-lane sums so far.
MORV_QUAD_TARGET inline void finishUpdateQuad(double* f, double* b, int i, int kept, double k, DoubleQuad nq,
                                              DoubleQuad dq, double* num, double* den) {
    const DoubleQuad kk = splatQuad(k);
    for (; i + 4 <= kept; i += 4) updateQuadStep(f, b, i, kk, nq, dq);
    double n = sumQuadAsPairs(nq), d = sumQuadAsPairs(dq);
    for (; i < kept; ++i) {
        const double forward = f[i] + k * b[i];
        const double backward = b[i + 1] + k * f[i + 1];
        f[i] = forward;
        b[i] = backward;
        n += forward * backward;
        d += forward * forward + backward * backward;
    }
    *num = n;
    *den = d;
}

MORV_QUAD_TARGET void updateErrorsQuad(double* f, double* b, int pairs, double k, double* num, double* den) {
    finishUpdateQuad(f, b, 0, pairs - 1, k, splatQuad(0.0), splatQuad(0.0), num, den);
}

// updateErrorsQuad on two separate sets of pairs, each with its own
// reflection coefficient, their steps interleaved: each set's sums wait on
// their own additions only, so the two overlap. sums receives num and den
// of the first set, then of the second.
MORV_QUAD_TARGET void updateErrorsTwiceQuad(double* f0, double* b0, int pairs0, double k0, double* f1, double* b1,
                                            int pairs1, double k1, double* sums) {
    const int kept0 = pairs0 - 1, kept1 = pairs1 - 1;
    const DoubleQuad kk0 = splatQuad(k0), kk1 = splatQuad(k1);
    DoubleQuad nq0 = splatQuad(0.0), dq0 = nq0, nq1 = nq0, dq1 = nq0;
    int i = 0;
    for (; i + 4 <= kept0 && i + 4 <= kept1; i += 4) {
        updateQuadStep(f0, b0, i, kk0, nq0, dq0);
        updateQuadStep(f1, b1, i, kk1, nq1, dq1);
    }
    finishUpdateQuad(f0, b0, i, kept0, k0, nq0, dq0, &sums[0], &sums[1]);
    finishUpdateQuad(f1, b1, i, kept1, k1, nq1, dq1, &sums[2], &sums[3]);
}
#endif

void updateErrorsTwice(double* f0, double* b0, int pairs0, double k0, double* f1, double* b1, int pairs1, double k1,
                       double* sums) {
    updateErrors(f0, b0, pairs0, k0, &sums[0], &sums[1]);
    updateErrors(f1, b1, pairs1, k1, &sums[2], &sums[3]);
}

// The first 64-byte boundary at or after p, within BurgWork's slack.
double* alignedStart(double* p) {
    constexpr std::uintptr_t kLine = 64;
    static_assert(BurgWork::kAlignmentSlack * sizeof(double) >= kLine, "slack covers a line");
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(p);
    return p + ((kLine - at % kLine) % kLine) / sizeof(double);
}

struct ErrorKernels {
    void (*sums)(const double*, const double*, int, double*, double*);
    void (*update)(double*, double*, int, double, double*, double*);
    void (*updateTwice)(double*, double*, int, double, double*, double*, int, double, double*);
};

ErrorKernels errorKernels() {
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) return {errorSumsQuad, updateErrorsQuad, updateErrorsTwiceQuad};
#endif
    return {errorSums, updateErrors, updateErrorsTwice};
}

}  // namespace

BurgResult BurgModel(const double* input, int length, int order, double* coefficients, BurgWork& work) {
    const SampleRun whole{0, length};
    return BurgModel(input, &whole, 1, order, coefficients, work);
}

BurgResult BurgModel(const double* x, const SampleRun* runs, int runCount, int order, double* coefficients,
                     BurgWork& work) {
    const ErrorKernels kernels = errorKernels();
    coefficients[0] = 1.0;
    std::fill(coefficients + 1, coefficients + order + 1, 0.0);
    int total = 0;
    for (int r = 0; r < runCount; ++r) total += runs[r].length;
    work.reserve(total);
    double* f = alignedStart(work.forward.data());
    double* b = alignedStart(work.backward.data());
    // Each stretch's error pairs lie at its own offset of f and b: f holds
    // the earlier sample and b the later one of every pair. The offsets are
    // whole lines of eight values where the capacity has room for that.
    constexpr int kLineValues = 8;
    int lined = 0;
    for (int r = 0; r < runCount; ++r)
        if (runs[r].length >= 2) lined += (runs[r].length + kLineValues - 1) / kLineValues * kLineValues;
    const bool wholeLines = lined <= work.capacity();
    auto stride = [&](int length) {
        return wholeLines ? (length + kLineValues - 1) / kLineValues * kLineValues : length;
    };

    double num = 0.0;
    double den = 0.0;
    int offset = 0;
    for (int r = 0; r < runCount; ++r) {
        const double* input = x + runs[r].start;
        const int length = runs[r].length;
        if (length < 2) continue;
        std::copy(input, input + length - 1, f + offset);
        std::copy(input + 1, input + length, b + offset);
        double runNum, runDen;
        kernels.sums(f + offset, b + offset, length - 1, &runNum, &runDen);
        num += runNum;
        den += runDen;
        offset += stride(length);
    }

    // Each order's update pass accumulates the sums for the order after it.
    const double inputEnergy = den;
    double error = 1.0;
    for (int m = 1; m <= order; ++m) {
        int pairsLeft = 0;
        for (int r = 0; r < runCount; ++r) pairsLeft += std::max(runs[r].length - m, 0);
        if (pairsLeft < 1 || den < kVanishingEnergy) return {error, false};
        if (den < kExactPrediction * inputEnergy) return {error, true};
        const double k = -2.0 * num / den;
        num = den = 0.0;
        offset = 0;
        // The stretches' updates two at a time; their sums are added in
        // stretch order.
        int waiting = -1;  // offset of a stretch whose update waits for a second
        int waitingPairs = 0;
        for (int r = 0; r < runCount; ++r) {
            const int length = runs[r].length;
            if (length < 2) continue;
            const int pairs = length - m;
            if (pairs >= 1) {
                if (waiting < 0) {
                    waiting = offset;
                    waitingPairs = pairs;
                } else {
                    double sums[4];
                    kernels.updateTwice(f + waiting, b + waiting, waitingPairs, k, f + offset, b + offset, pairs, k,
                                        sums);
                    num += sums[0];
                    den += sums[1];
                    num += sums[2];
                    den += sums[3];
                    waiting = -1;
                }
            }
            offset += stride(length);
        }
        if (waiting >= 0) {
            double runNum, runDen;
            kernels.update(f + waiting, b + waiting, waitingPairs, k, &runNum, &runDen);
            num += runNum;
            den += runDen;
        }
        addReflection(coefficients, m, k);
        error *= 1.0 - k * k;
    }
    return {error, true};
}

void addWhiteFloor(double* a, int order, double floor, double* scratch) {
    double* reflections = scratch;
    double* step = scratch + (order + 1);
    double* r = scratch + 2 * (order + 1);
    // Step down to the reflection coefficients, in place on a copy.
    std::copy(a, a + order + 1, step);
    for (int m = order; m >= 1; --m) {
        const double k = step[m];
        reflections[m] = k;
        const double scale = 1.0 / (1.0 - k * k);
        const int pairs = (m + 1) / 2;
        // Two symmetric pairs at a time, as in addReflection.
        const DoublePair kk = splatPair(k), ss = splatPair(scale);
        int i = 1;
        for (; i + 1 < pairs; i += 2) {
            const DoublePair low = loadPair(step + i);
            const DoublePair reversed = loadPair(step + m - i - 1);
            const DoublePair high = {reversed[1], reversed[0]};
            storePair(step + i, (low - kk * high) * ss);
            const DoublePair lowered = (high - kk * low) * ss;
            storePair(step + m - i - 1, DoublePair{lowered[1], lowered[0]});
        }
        for (; i < pairs; ++i) {
            const double low = step[i];
            const double high = step[m - i];
            step[i] = (low - k * high) * scale;
            step[m - i] = (high - k * low) * scale;
        }
        if (m % 2 == 0) step[m / 2] /= 1.0 + k;
        step[m] = 0.0;
    }
    // Step up again, collecting the autocorrelation of unit power, and run
    // Levinson-Durbin on the autocorrelation lifted at lag 0 (which the step
    // up never reads). Order m of the solution needs r up to lag m only, so
    // it runs beside step m + 1 of the step up: two sums that do not wait
    // on each other, each taken in its own order.
    r[0] = 1.0;
    r[0] += floor;
    step[0] = 1.0;
    double stepError = 1.0;
    const double noTerms = 0.0;
    if (order >= 1) {
        r[1] = -reflections[1] * stepError - noTerms;
        addReflection(step, 1, reflections[1]);
        stepError *= 1.0 - reflections[1] * reflections[1];
    }
    std::fill(a + 1, a + order + 1, 0.0);
    a[0] = 1.0;
    double error = r[0];
    for (int m = 1; m <= order; ++m) {
        double up = 0.0;
        double sum = r[m];
        for (int i = 1; i < m; ++i) {
            up += step[i] * r[m + 1 - i];
            sum += a[i] * r[m - i];
        }
        if (m < order) {
            up += step[m] * r[1];
            r[m + 1] = -reflections[m + 1] * stepError - up;
            addReflection(step, m + 1, reflections[m + 1]);
            stepError *= 1.0 - reflections[m + 1] * reflections[m + 1];
        }
        const double k = -sum / error;
        addReflection(a, m, k);
        error *= 1.0 - k * k;
    }
}
