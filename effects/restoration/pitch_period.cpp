#include "effects/restoration/pitch_period.h"

#include <algorithm>
#include <cmath>

#include "effects/restoration/double_pair.h"

namespace {

constexpr double kShortestPeriod = 0.002;                  // seconds
constexpr double kLongestPeriod = 0.01838235294117647;     // 1 / 54.4 s
constexpr double kSilentEnergy = 1e-20;
constexpr double kCorrelationFactor = 0.75;
// Lags within this time of the shortest one must correlate more strongly.
constexpr double kShortLagSpan = 0.0005;  // seconds
constexpr double kShortLagCorrelation = 0.85;

// Sum of |y[n - lag] - y[n]| over the stretch taken as circular. Gives up,
// returning a value above limit, once the partial sum exceeds limit: the
// terms are never negative, so such a lag cannot become the minimum.
double circularDifference(const double* y, int length, int lag, double limit) {
    double sum = 0.0;
    for (int n = 0; n < lag; ++n) sum += std::fabs(y[length - lag + n] - y[n]);
    constexpr int kCheckEvery = 64;
    for (int from = lag; from < length; from += kCheckEvery) {
        if (sum > limit) return sum;
        const int to = std::min(length, from + kCheckEvery);
        DoublePair part0 = splatPair(0.0), part1 = part0;
        int n = from;
        for (; n + 4 <= to; n += 4) {
            part0 += absPair(loadPair(y + n - lag) - loadPair(y + n));
            part1 += absPair(loadPair(y + n + 2 - lag) - loadPair(y + n + 2));
        }
        double rest = 0.0;
        for (; n < to; ++n) rest += std::fabs(y[n - lag] - y[n]);
        sum += sumPair(part0 + part1) + rest;
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
    int best = 0;
    double bestDifference = 1e30;
    for (int lag = std::max(shortest, 1); lag <= longest; ++lag) {
        const double d = circularDifference(y, length, lag, bestDifference);
        if (d <= bestDifference) {  // equal differences go to the larger lag
            bestDifference = d;
            best = lag;
        }
    }
    if (best == 0) return 0;

    double correlation = 0.0;
    for (int n = best; n < length; ++n) correlation += y[n] * y[n - best];
    correlation /= energy;
    if (correlation < kCorrelationFactor * (length - best) / length) return 0;
    if (best - shortest < kShortLagSpan * sampleRate && correlation < kShortLagCorrelation) return 0;
    return best;
}

int pitchPeriod(const double* y, int length, double sampleRate) {
    const int half = length / 2;
    return std::max(stretchPeriod(y, half, sampleRate), stretchPeriod(y + half, length - half, sampleRate));
}
