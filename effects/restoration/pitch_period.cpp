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

#ifdef MORV_QUAD_LANES
constexpr int kGroupLags = 4;

// sumQuadAsPairs of p0 .. p3, in the lanes 0, 2, 1, 3 of the result.
MORV_QUAD_TARGET inline DoubleQuad pairSums(DoubleQuad p0, DoubleQuad p1, DoubleQuad p2, DoubleQuad p3) {
    // Lanes 0 and 2 of each added to lanes 1 and 3: {p0[0] + p0[2], p0[1] + p0[3], p1[0] + p1[2], ...}.
    const DoubleQuad h01 = __builtin_shufflevector(p0, p1, 0, 1, 4, 5) + __builtin_shufflevector(p0, p1, 2, 3, 6, 7);
    const DoubleQuad h23 = __builtin_shufflevector(p2, p3, 0, 1, 4, 5) + __builtin_shufflevector(p2, p3, 2, 3, 6, 7);
    return __builtin_shufflevector(h01, h23, 0, 4, 2, 6) + __builtin_shufflevector(h01, h23, 1, 5, 3, 7);
}

// Where the group's lags are held in totals: lag k in lane kLane[k].
constexpr int kLane[kGroupLags] = {0, 2, 1, 3};

// One chunk of kCheckEvery terms of each lag, one side of the difference
// the same for all: y[n] (a chunk of the wrapped part) or y[n - lag].
MORV_QUAD_TARGET inline void addFullChunks(const double* shared, const double* const* own, DoubleQuad& totals) {
    DoubleQuad part0 = splatQuad(0.0), part1 = part0, part2 = part0, part3 = part0;
    const double *own0 = own[0], *own1 = own[1], *own2 = own[2], *own3 = own[3];
    for (int n = 0; n < kCheckEvery; n += 4) {
        const DoubleQuad s = loadQuad(shared + n);
        // |a - b| = |b - a| exactly, so the side does not matter.
        part0 += absQuad(loadQuad(own0 + n) - s);
        part1 += absQuad(loadQuad(own1 + n) - s);
        part2 += absQuad(loadQuad(own2 + n) - s);
        part3 += absQuad(loadQuad(own3 + n) - s);
    }
    totals += pairSums(part0, part1, part2, part3);
}

// One chunk of each lag in general: count[k] terms (none when 0) of
// |a[k][n] - b[k][n]|, summed as absoluteDifferenceQuad sums them.
MORV_QUAD_TARGET inline void addChunks(const double* const* a, const double* const* b, const int* count,
                                       double* totals) {
    int common = kCheckEvery;
    for (int k = 0; k < kGroupLags; ++k) common = std::min(common, count[k]);
    DoubleQuad part0 = splatQuad(0.0), part1 = part0, part2 = part0, part3 = part0;
    int n = 0;
    for (; n + 4 <= common; n += 4) {
        part0 += absQuad(loadQuad(a[0] + n) - loadQuad(b[0] + n));
        part1 += absQuad(loadQuad(a[1] + n) - loadQuad(b[1] + n));
        part2 += absQuad(loadQuad(a[2] + n) - loadQuad(b[2] + n));
        part3 += absQuad(loadQuad(a[3] + n) - loadQuad(b[3] + n));
    }
    DoubleQuad parts[kGroupLags] = {part0, part1, part2, part3};
    for (int k = 0; k < kGroupLags; ++k) {
        if (count[k] == 0) continue;
        int m = n;
        for (; m + 4 <= count[k]; m += 4) parts[k] += absQuad(loadQuad(a[k] + m) - loadQuad(b[k] + m));
        double rest = 0.0;
        for (; m < count[k]; ++m) rest += std::fabs(a[k][m] - b[k][m]);
        totals[kLane[k]] += sumQuadAsPairs(parts[k]) + rest;
    }
}

MORV_QUAD_TARGET inline bool allAbove(DoubleQuad totals, double limit) {
    return totals[0] > limit && totals[1] > limit && totals[2] > limit && totals[3] > limit;
}

// circularDifferences for the kGroupLags lags first, first + 1, ...: each
// lag's chunks summed as absoluteDifferenceQuad sums them, chunk i of every
// lag at once so that their additions overlap. The group gives up once
// every partial sum exceeds limit; a lag above it that goes on ends above
// it. Where every lag's chunk is full the lags share one side of the
// difference, y[n] in the wrapped part, y[n - lag] past it, and their chunk
// sums come out together.
MORV_QUAD_TARGET void groupDifferencesQuad(const double* y, int length, int first, double limit, double* sums) {
    DoubleQuad totals = splatQuad(0.0);
    double lanes[kGroupLags];
    int lag[kGroupLags];
    for (int k = 0; k < kGroupLags; ++k) lag[k] = first + k;
    // Chunks of the wrapped part: those up to the first lag's last are full
    // for all; then one of any length per lag. Lags in different numbers of
    // wrapped chunks are out of step past them and go the general way.
    const int wrappedChunks = (first + kCheckEvery - 1) / kCheckEvery;
    const bool inStep = (lag[kGroupLags - 1] + kCheckEvery - 1) / kCheckEvery == wrappedChunks;
    const double* own[kGroupLags];
    int chunk = 0;
    if (inStep) {
        for (; chunk + 1 < wrappedChunks; ++chunk) {
            for (int k = 0; k < kGroupLags; ++k) own[k] = y + length - lag[k] + chunk * kCheckEvery;
            addFullChunks(y + chunk * kCheckEvery, own, totals);
            if (allAbove(totals, limit)) break;
        }
    }
    for (int k = 0; k < kGroupLags; ++k) lanes[k] = totals[k];
    bool above = allAbove(totals, limit);
    LagChunks chunks[kGroupLags] = {LagChunks(y, length, lag[0]), LagChunks(y, length, lag[1]),
                                    LagChunks(y, length, lag[2]), LagChunks(y, length, lag[3])};
    for (int k = 0; k < kGroupLags; ++k) chunks[k].wrapped = chunk * kCheckEvery;
    // The rest of the wrapped part, then past it while some lag's chunk is
    // short; full chunks past the wrapped part again go together.
    while (!above) {
        const double* a[kGroupLags];
        const double* b[kGroupLags];
        int count[kGroupLags];
        bool any = false, full = inStep;
        for (int k = 0; k < kGroupLags; ++k) {
            const bool wrappedPart = chunks[k].wrapped < lag[k];
            if (chunks[k].next(&a[k], &b[k], &count[k]))
                any = true;
            else
                count[k] = 0;
            full = full && !wrappedPart && count[k] == kCheckEvery;
        }
        if (!any) break;
        if (full) {
            totals = DoubleQuad{lanes[0], lanes[1], lanes[2], lanes[3]};
            addFullChunks(a[0], b, totals);
            for (int k = 0; k < kGroupLags; ++k) lanes[k] = totals[k];
        } else {
            addChunks(a, b, count, lanes);
        }
        above = lanes[0] > limit && lanes[1] > limit && lanes[2] > limit && lanes[3] > limit;
    }
    for (int k = 0; k < kGroupLags; ++k) sums[k] = lanes[kLane[k]];
}
#endif

int shortestLag(double sampleRate) { return static_cast<int>(std::floor(kShortestPeriod * sampleRate)); }

// The lag with the smallest circular difference, 0 if none.
int closestLag(const double* y, int length, double sampleRate) {
    const int shortest = shortestLag(sampleRate);
    const int longest = std::min(static_cast<int>(std::floor(sampleRate * kLongestPeriod)), length / 2);
    int best = 0;
    double bestDifference = 1e30;
    // Several lags at a time, all bounded by the best before them; each is
    // then judged against those before it in the group as well, so the
    // winner is the same.
    auto judge = [&](int lag, const double* d, int count) {
        for (int k = 0; k < count && lag + k <= longest; ++k) {
            if (d[k] <= bestDifference) {  // equal differences go to the larger lag
                bestDifference = d[k];
                best = lag + k;
            }
        }
    };
    int lag = std::max(shortest, 1);
#ifdef MORV_QUAD_LANES
    // The group's last lags may pass the longest; their sums are not judged
    // (the group reads no further than the stretch for any lag below length).
    // Groups start one past a multiple of four, so that none holds both a
    // multiple of kCheckEvery and the lag after it (whose wrapped parts have
    // different numbers of chunks); the lags before the first group go one
    // at a time.
    if (processorHasQuadLanes()) {
        for (; lag <= longest && lag % kGroupLags != 1; ++lag) {
            double d[2];
            circularDifferences(y, length, lag, lag, bestDifference, differenceKernels(), &d[0], &d[1]);
            judge(lag, d, 1);
        }
        for (; lag <= longest && lag + kGroupLags - 1 < length; lag += kGroupLags) {
            double d[kGroupLags];
            groupDifferencesQuad(y, length, lag, bestDifference, d);
            judge(lag, d, kGroupLags);
        }
    }
#endif
    const DifferenceKernels kernels = differenceKernels();
    // Two lags at a time.
    for (; lag <= longest; lag += 2) {
        double d[2];
        circularDifferences(y, length, lag, std::min(lag + 1, longest), bestDifference, kernels, &d[0], &d[1]);
        judge(lag, d, 2);
    }
    return best;
}

// The lag best as the stretch's period, given the sum of y[n] y[n - best]
// (from n = best on) and the stretch's energy; 0 if it correlates too weakly.
int acceptedPeriod(int length, int best, double correlation, double energy, double sampleRate) {
    if (best == 0) return 0;
    correlation /= energy;
    // The sum has length - best products, so even a steady tone reaches only
    // (length - best) / length: both limits are scaled by that share.
    const double share = static_cast<double>(length - best) / length;
    if (correlation < kCorrelationFactor * share) return 0;
    if (best - shortestLag(sampleRate) < kShortLagSpan * sampleRate && correlation < kShortLagCorrelation * share)
        return 0;
    return best;
}

}  // namespace

int stretchPeriod(const double* y, int length, double sampleRate) {
    double energy = 0.0;
    for (int n = 0; n < length; ++n) energy += y[n] * y[n];
    if (energy < kSilentEnergy) return 0;
    const int best = closestLag(y, length, sampleRate);
    double correlation = 0.0;
    for (int n = best; best > 0 && n < length; ++n) correlation += y[n] * y[n - best];
    return acceptedPeriod(length, best, correlation, energy, sampleRate);
}

// stretchPeriod of both halves, the energy and correlation sums of one half
// beside those of the other: each sum waits on its own additions only.
int pitchPeriod(const double* y, int length, double sampleRate) {
    const int half = length / 2;
    const double* second = y + half;
    const int secondLength = length - half;
    double energy0 = 0.0, energy1 = 0.0;
    for (int n = 0; n < half; ++n) {
        energy0 += y[n] * y[n];
        energy1 += second[n] * second[n];
    }
    for (int n = half; n < secondLength; ++n) energy1 += second[n] * second[n];
    const int best0 = energy0 < kSilentEnergy ? 0 : closestLag(y, half, sampleRate);
    const int best1 = energy1 < kSilentEnergy ? 0 : closestLag(second, secondLength, sampleRate);
    // Products y[n] y[n - best] from n = best on; a half without a lag
    // takes none.
    const int count0 = best0 > 0 ? half - best0 : 0;
    const int count1 = best1 > 0 ? secondLength - best1 : 0;
    const double* lagged0 = y + best0;
    const double* lagged1 = second + best1;
    double correlation0 = 0.0, correlation1 = 0.0;
    int n = 0;
    for (; n < count0 && n < count1; ++n) {
        correlation0 += lagged0[n] * y[n];
        correlation1 += lagged1[n] * second[n];
    }
    for (int m = n; m < count0; ++m) correlation0 += lagged0[m] * y[m];
    for (int m = n; m < count1; ++m) correlation1 += lagged1[m] * second[m];
    return std::max(acceptedPeriod(half, best0, correlation0, energy0, sampleRate),
                    acceptedPeriod(secondLength, best1, correlation1, energy1, sampleRate));
}
