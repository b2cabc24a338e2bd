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
#endif

using DifferenceKernel = double (*)(const double*, const double*, int);

DifferenceKernel differenceKernel() {
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) return absoluteDifferenceQuad;
#endif
    return absoluteDifference;
}

// Sum of |y[n - lag] - y[n]| over the stretch taken as circular. Gives up,
// returning a value above limit, once the partial sum exceeds limit: the
// terms are never negative, so such a lag cannot become the minimum.
double circularDifference(const double* y, int length, int lag, double limit, DifferenceKernel difference) {
    constexpr int kCheckEvery = 64;
    double sum = 0.0;
    // The wrapped part: y[length - lag + n] against y[n], n < lag.
    for (int from = 0; from < lag; from += kCheckEvery) {
        if (sum > limit) return sum;
        sum += difference(y + length - lag + from, y + from, std::min(kCheckEvery, lag - from));
    }
    for (int from = lag; from < length; from += kCheckEvery) {
        if (sum > limit) return sum;
        sum += difference(y + from - lag, y + from, std::min(kCheckEvery, length - from));
    }
    return sum;
}

}  // namespace

int stretchPeriod(const double* y, int length, double sampleRate) {
    double energy = 0.0;
    for (int n = 0; n < length; ++n) energy += y[n] * y[n];
    if (energy < kSilentEnergy) return 0;

    const int shortest = static_cast<int>(std::floor(kShortestPeriod * sampleRate));
    const int longest = std::min(static_cast<int>(std::floor(sampleRate * kLongestPeriod)), length / 2);
    const DifferenceKernel difference = differenceKernel();
    int best = 0;
    double bestDifference = 1e30;
    for (int lag = std::max(shortest, 1); lag <= longest; ++lag) {
        const double d = circularDifference(y, length, lag, bestDifference, difference);
        if (d <= bestDifference) {  // equal differences go to the larger lag
            bestDifference = d;
            best = lag;
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
