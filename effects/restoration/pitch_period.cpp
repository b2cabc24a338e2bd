#include "effects/restoration/pitch_period.h"

#include <algorithm>
#include <cmath>

#include "effects/restoration/quad_lanes.h"
#include "framework/double_pair.h"

namespace {

constexpr double kShortestPeriod = 0.002;                  // seconds
constexpr double kLongestPeriod = 0.01838235294117647;     // 1 / 54.4 s
constexpr double kSilentEnergy = 1e-20;
constexpr double kCorrelationFactor = 0.75;
// Lags within this time of the shortest one must correlate more strongly.
constexpr double kShortLagSpan = 0.0005;  // seconds
constexpr double kShortLagCorrelation = 0.85;

// Sum of |a[n] - b[n]| for n < count, in four interleaved partial sums.
double absoluteDifference(const double* a, const double* b, int count) {
    DoublePair part0 = splatPair(0.0), part1 = part0;
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        part0 += absPair(loadPair(a + n) - loadPair(b + n));
        part1 += absPair(loadPair(a + n + 2) - loadPair(b + n + 2));
    }
    double rest = 0.0;
    for (; n < count; ++n) rest += std::fabs(a[n] - b[n]);
    return sumPair(part0 + part1) + rest;
}

// Two chunks' absoluteDifference at once: two lags' sums advance side by
// side, neither waiting on its own additions.
void absoluteDifferences(const double* a0, const double* b0, int count0, const double* a1, const double* b1,
                         int count1, double* d0, double* d1) {
    *d0 = absoluteDifference(a0, b0, count0);
    *d1 = absoluteDifference(a1, b1, count1);
}

#ifdef MORV_QUAD_LANES
// absoluteDifference with its two pair sums in one four-lane register.
MORV_QUAD_TARGET double absoluteDifferenceQuad(const double* a, const double* b, int count) {
    DoubleQuad parts = splatQuad(0.0);
    int n = 0;
    for (; n + 4 <= count; n += 4) parts += absQuad(loadQuad(a + n) - loadQuad(b + n));
    double rest = 0.0;
    for (; n < count; ++n) rest += std::fabs(a[n] - b[n]);
    return sumQuadAsPairs(parts) + rest;
}

MORV_QUAD_TARGET void absoluteDifferencesQuad(const double* a0, const double* b0, int count0, const double* a1,
                                              const double* b1, int count1, double* d0, double* d1) {
    DoubleQuad parts0 = splatQuad(0.0), parts1 = parts0;
    int n = 0;
    for (; n + 4 <= count0 && n + 4 <= count1; n += 4) {
        parts0 += absQuad(loadQuad(a0 + n) - loadQuad(b0 + n));
        parts1 += absQuad(loadQuad(a1 + n) - loadQuad(b1 + n));
    }
    int n0 = n, n1 = n;
    for (; n0 + 4 <= count0; n0 += 4) parts0 += absQuad(loadQuad(a0 + n0) - loadQuad(b0 + n0));
    for (; n1 + 4 <= count1; n1 += 4) parts1 += absQuad(loadQuad(a1 + n1) - loadQuad(b1 + n1));
    double rest0 = 0.0, rest1 = 0.0;
    for (; n0 < count0; ++n0) rest0 += std::fabs(a0[n0] - b0[n0]);
    for (; n1 < count1; ++n1) rest1 += std::fabs(a1[n1] - b1[n1]);
    *d0 = sumQuadAsPairs(parts0) + rest0;
    *d1 = sumQuadAsPairs(parts1) + rest1;
}
#endif

struct DifferenceKernels {
    double (*one)(const double*, const double*, int);
    void (*two)(const double*, const double*, int, const double*, const double*, int, double*, double*);
};

DifferenceKernels differenceKernels() {
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) return {absoluteDifferenceQuad, absoluteDifferencesQuad};
#endif
    return {absoluteDifference, absoluteDifferences};
}

constexpr int kCheckEvery = 64;

// The chunks of |y[n - lag] - y[n]| over the stretch taken as circular, in
// the order they are summed: the wrapped part (y[length - lag + n] against
// y[n], n < lag), then the rest, kCheckEvery samples at a time.
struct LagChunks {
    const double* y;
    int length;
    int lag;
    int wrapped = 0;
    int rest;
    double sum = 0.0;

    LagChunks(const double* samples, int count, int l) : y(samples), length(count), lag(l), rest(l) {}

    bool next(const double** a, const double** b, int* count) {
        if (wrapped < lag) {
            *a = y + length - lag + wrapped;
            *b = y + wrapped;
            *count = std::min(kCheckEvery, lag - wrapped);
            wrapped += kCheckEvery;
            return true;
        }
        if (rest < length) {
            *a = y + rest - lag;
            *b = y + rest;
            *count = std::min(kCheckEvery, length - rest);
            rest += kCheckEvery;
            return true;
        }
        return false;
    }
};

// Sums of |y[n - lag] - y[n]| over the stretch taken as circular, for the
// lags first and second, side by side. Each gives up, returning a value
// above limit, once its partial sum exceeds limit: the terms are never
// negative, so such a lag cannot become the minimum.
void circularDifferences(const double* y, int length, int first, int second, double limit,
                         const DifferenceKernels& kernels, double* d0, double* d1) {
    LagChunks lags[2] = {LagChunks(y, length, first), LagChunks(y, length, second)};
    bool open[2] = {true, true};
    while (open[0] || open[1]) {
        const double* a[2];
        const double* b[2];
        int count[2];
        for (int k = 0; k < 2; ++k)
            open[k] = open[k] && !(lags[k].sum > limit) && lags[k].next(&a[k], &b[k], &count[k]);
        if (open[0] && open[1]) {
            double part0, part1;
            kernels.two(a[0], b[0], count[0], a[1], b[1], count[1], &part0, &part1);
            lags[0].sum += part0;
            lags[1].sum += part1;
        } else {
            for (int k = 0; k < 2; ++k)
                if (open[k]) lags[k].sum += kernels.one(a[k], b[k], count[k]);
        }
    }
    *d0 = lags[0].sum;
    *d1 = lags[1].sum;
}

}  // namespace

int stretchPeriod(const double* y, int length, double sampleRate) {
    double energy = 0.0;
    for (int n = 0; n < length; ++n) energy += y[n] * y[n];
    if (energy < kSilentEnergy) return 0;

    const int shortest = static_cast<int>(std::floor(kShortestPeriod * sampleRate));
    const int longest = std::min(static_cast<int>(std::floor(sampleRate * kLongestPeriod)), length / 2);
    const DifferenceKernels kernels = differenceKernels();
    int best = 0;
    double bestDifference = 1e30;
    // Two lags at a time, both bounded by the best before them; the second
    // is then judged against the first as well, so the winner is the same.
    for (int lag = std::max(shortest, 1); lag <= longest; lag += 2) {
        double d[2];
        circularDifferences(y, length, lag, std::min(lag + 1, longest), bestDifference, kernels, &d[0], &d[1]);
        for (int k = 0; k < 2 && lag + k <= longest; ++k) {
            if (d[k] <= bestDifference) {  // equal differences go to the larger lag
                bestDifference = d[k];
                best = lag + k;
            }
        }
    }
    if (best == 0) return 0;

    double correlation = 0.0;
    for (int n = best; n < length; ++n) correlation += y[n] * y[n - best];
    correlation /= energy;
    // The sum has length - best products, so even a steady tone reaches only
    // (length - best) / length: both limits are scaled by that share.
    const double share = static_cast<double>(length - best) / length;
    if (correlation < kCorrelationFactor * share) return 0;
    if (best - shortest < kShortLagSpan * sampleRate && correlation < kShortLagCorrelation * share) return 0;
    return best;
}

int pitchPeriod(const double* y, int length, double sampleRate) {
    const int half = length / 2;
    return std::max(stretchPeriod(y, half, sampleRate), stretchPeriod(y + half, length - half, sampleRate));
}
