#include "effects/restoration/pitch_period.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kShortestPeriod = 0.002;                  // seconds
constexpr double kLongestPeriod = 0.01838235294117647;     // 1 / 54.4 s
constexpr double kSilentEnergy = 1e-20;
constexpr double kCorrelationFactor = 0.75;
// Lags within this time of the shortest one must correlate more strongly.
constexpr double kShortLagSpan = 0.0005;  // seconds
constexpr double kShortLagCorrelation = 0.85;

// Sum of |y[n - lag] - y[n]| over the stretch taken as circular.
double circularDifference(const double* y, int length, int lag) {
    double sum = 0.0;
    for (int n = lag; n < length; ++n) sum += std::fabs(y[n - lag] - y[n]);
    for (int n = 0; n < lag; ++n) sum += std::fabs(y[length - lag + n] - y[n]);
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
        const double d = circularDifference(y, length, lag);
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
