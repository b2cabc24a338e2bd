#include "effects/restoration/click_detector.h"

#include <algorithm>

#include "effects/restoration/hoare_select.h"
#include "effects/restoration/quad_lanes.h"
#include "framework/double_pair.h"

namespace {

constexpr int kResidualSmoothing = 5;   // half-width of the residual mean (11 samples)
constexpr int kEnergyWidth = 1;         // half-width of the energy sum (3 samples)
constexpr int kThresholdSmoothing = 50; // half-width of the threshold mean (101 samples)
constexpr double kOutlierFactor = 3.0;
constexpr double kTrimFraction = 0.3;
// A click within this many samples of one whose peak energy is this many
// times larger is an echo of it in the residual.
constexpr int kEchoReach = 50;
constexpr double kEchoRatio = 100.0;
// A click's edges: where its one-sided residual energy rises above both its
// peak over kEdgeRatio and kEdgeStandOut times its mean outside the region
// (and at the latest where it reaches its peak over kEchoRatio).
constexpr double kEdgeRatio = 1e6;
constexpr double kEdgeStandOut = 4.0;
// A click's samples above its edge lie at most this far apart: a burst's
// noise passes near zero now and then, the music's residual beside it only
// stands out alone.
constexpr int kEdgeGap = 3;
// Clicks at most this many samples apart are one click.
constexpr int kMergeGap = 10;
// Exact zeros in a row that count as digital silence.
constexpr int kSilentRun = 32;

// Index of sample i of a signal of the given length, extended beyond its ends
// by mirroring about the first and the last sample.
inline int mirrored(int i, int length) {
    if (length < 2) return 0;
    const int period = 2 * (length - 1);
    i %= period;
    if (i < 0) i += period;
    return i < length ? i : period - i;
}

#ifdef MORV_QUAD_LANES
// The interior sums of windowSum four at a time, from n = first while four
// fit before last; returns the first n left.
MORV_QUAD_TARGET int windowSumsQuad(const double* src, double* dst, int first, int last, int half) {
    int n = first;
    for (; n + 4 <= last; n += 4) {
        DoubleQuad sum = splatQuad(0.0);
        for (int j = -half; j <= half; ++j) sum += loadQuad(src + n + j);
        storeQuad(dst + n, sum);
    }
    return n;
}
#endif

// dst[n] = sum of src over n - half .. n + half (mirrored ends). Summed
// afresh for every n, so a stretch of zeros gives exactly zero.
void windowSum(const double* src, double* dst, int length, int half) {
    auto sumAt = [&](int n, bool edge) {
        double sum = 0.0;
        for (int j = -half; j <= half; ++j) sum += src[edge ? mirrored(n + j, length) : n + j];
        return sum;
    };
    const int interiorEnd = std::max(half, length - half);
    for (int n = 0; n < std::min(half, length); ++n) dst[n] = sumAt(n, true);
    // The interior several at a time, each sum still taken from zero in order.
    int n = half;
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) n = windowSumsQuad(src, dst, n, interiorEnd, half);
#endif
    for (; n + 2 <= interiorEnd; n += 2) {
        DoublePair sum = splatPair(0.0);
        for (int j = -half; j <= half; ++j) sum += loadPair(src + n + j);
        storePair(dst + n, sum);
    }
    for (; n < interiorEnd; ++n) dst[n] = sumAt(n, false);
    for (int n = interiorEnd; n < length; ++n) dst[n] = sumAt(n, true);
}

// windowSum of non-negative values for wide windows, as a running sum. The
// sum can drift a rounding step below zero after a large value leaves the
// window; it is held at zero, since a negative level would let exact zeros
// of the energy pass for clicks.
void runningWindowSum(const double* src, double* dst, int length, int half) {
    auto at = [&](int i) { return i >= 0 && i < length ? src[i] : src[mirrored(i, length)]; };
    double sum = 0.0;
    for (int j = -half; j <= half; ++j) sum += at(j);
    for (int n = 0; n < length; ++n) {
        dst[n] = std::max(sum, 0.0);
        sum += at(n + half + 1) - at(n - half);
    }
}

// Prediction errors of x[n] from the order samples before it and after it.
inline double forwardResidual(const double* x, const double* a, int n, int order) {
    double sum = 0.0;
    for (int k = 0; k <= order; ++k) sum += a[k] * x[n - k];
    return sum;
}
inline double backwardResidual(const double* x, const double* a, int n, int order) {
    double sum = 0.0;
    for (int k = 0; k <= order; ++k) sum += a[k] * x[n + k];
    return sum;
}

// One-sided residuals r[n] = x[n] + sum_i a[i] x[n + step i], i = 1 ..
// order in turn, for n from .. to - 1, several at a time.
void oneSidedResiduals(const double* x, const double* a, int order, int from, int to, int step, double* r) {
    int n = from;
    for (; n + 4 <= to; n += 4) {
        DoublePair r0 = loadPair(x + n), r1 = loadPair(x + n + 2);
        for (int i = 1; i <= order; ++i) {
            const DoublePair tap = splatPair(a[i]);
            r0 = r0 + tap * loadPair(x + n + step * i);
            r1 = r1 + tap * loadPair(x + n + step * i + 2);
        }
        storePair(r + n, r0);
        storePair(r + n + 2, r1);
    }
    for (; n < to; ++n) {
        double sum = x[n];
        for (int i = 1; i <= order; ++i) sum += a[i] * x[n + step * i];
        r[n] = sum;
    }
}

// Two-sided residuals r[n] = x[n] + sum_i a[i] / 2 (x[n + i] + x[n - i]),
// i = 1 .. order in turn, for n from .. to - 1: eight at a time in
// registers, then one by one.
void twoSidedResiduals(const double* x, const double* a, int order, int from, int to, double* r) {
    int n = from;
    for (; n + 8 <= to; n += 8) {
        DoublePair r0 = loadPair(x + n), r1 = loadPair(x + n + 2), r2 = loadPair(x + n + 4), r3 = loadPair(x + n + 6);
        for (int i = 1; i <= order; ++i) {
            const DoublePair half = splatPair(0.5 * a[i]);
            const double* ahead = x + n + i;
            const double* behind = x + n - i;
            r0 = r0 + half * (loadPair(ahead) + loadPair(behind));
            r1 = r1 + half * (loadPair(ahead + 2) + loadPair(behind + 2));
            r2 = r2 + half * (loadPair(ahead + 4) + loadPair(behind + 4));
            r3 = r3 + half * (loadPair(ahead + 6) + loadPair(behind + 6));
        }
        storePair(r + n, r0);
        storePair(r + n + 2, r1);
        storePair(r + n + 4, r2);
        storePair(r + n + 6, r3);
    }
    for (; n < to; ++n) {
        double sum = x[n];
        for (int i = 1; i <= order; ++i) sum += 0.5 * a[i] * (x[n + i] + x[n - i]);
        r[n] = sum;
    }
}

#ifdef MORV_QUAD_LANES
// The same, sixteen at a time in four-lane registers.
MORV_QUAD_TARGET void twoSidedResidualsQuad(const double* x, const double* a, int order, int from, int to,
                                            double* r) {
    int n = from;
    for (; n + 16 <= to; n += 16) {
        DoubleQuad r0 = loadQuad(x + n), r1 = loadQuad(x + n + 4), r2 = loadQuad(x + n + 8), r3 = loadQuad(x + n + 12);
        for (int i = 1; i <= order; ++i) {
            const DoubleQuad half = splatQuad(0.5 * a[i]);
            const double* ahead = x + n + i;
            const double* behind = x + n - i;
            r0 = r0 + half * (loadQuad(ahead) + loadQuad(behind));
            r1 = r1 + half * (loadQuad(ahead + 4) + loadQuad(behind + 4));
            r2 = r2 + half * (loadQuad(ahead + 8) + loadQuad(behind + 8));
            r3 = r3 + half * (loadQuad(ahead + 12) + loadQuad(behind + 12));
        }
        storeQuad(r + n, r0);
        storeQuad(r + n + 4, r1);
        storeQuad(r + n + 8, r2);
        storeQuad(r + n + 12, r3);
    }
    twoSidedResiduals(x, a, order, n, to, r);
}
#endif

}  // namespace

ClickDetector::ClickDetector(int frameLength, int order, int maxLength)
    : length_(frameLength),
      order_(order),
      maxLength_(maxLength),
      energy_(frameLength, 0.0),
      // Two frames: localize lays a region's forward and backward residuals
      // side by side, and a region may cover more than half a short frame.
      work_(2 * static_cast<size_t>(frameLength), 0.0),
      threshold_(frameLength, 0.0),
      starts_(frameLength, 0),
      ends_(frameLength, 0),
      peaks_(frameLength, 0.0),
      keep_(frameLength, 0) {}

int ClickDetector::detect(const double* x, const double* a, double thresh) {
    clickCount_ = 0;
    if (length_ <= 2 * order_ + 2) return 0;
    computeResidual(x, a);
    computeEnergy();
    computeThreshold(trimmedLevel(), thresh);
    scan();
    dropEchoes();
    mergeNeighbours();
    dropSilenceEdges(x);
    localize(x, a);
    return clickCount_;
}

// Backward prediction for the first order samples, forward prediction for
// the last order samples, two-sided in between, each adding its taps in
// order.
void ClickDetector::computeResidual(const double* x, const double* a) {
    const int n0 = order_;
    const int n1 = length_ - order_;
    double* r = threshold_.data();
    oneSidedResiduals(x, a, order_, 0, n0, 1, r);
    oneSidedResiduals(x, a, order_, n1, length_, -1, r);
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) {
        twoSidedResidualsQuad(x, a, order_, n0, n1, r);
        return;
    }
#endif
    twoSidedResiduals(x, a, order_, n0, n1, r);
}

// E[n] = sum over n - 1 .. n + 1 of the squared deviation of the residual
// from its 11-sample mean. The one-sided residuals at either end and the
// two-sided one between them differ in scale; each stretch is windowed on
// its own, mirrored at its own ends, so that the step between them does not
// show as energy in the scanned samples.
void ClickDetector::computeEnergy() {
    const double* r = threshold_.data();
    double* deviation = work_.data();
    const int stretches[4] = {0, order_, length_ - order_, length_};
    const double width = 2 * kResidualSmoothing + 1;
    for (int k = 0; k < 3; ++k) {
        const int from = stretches[k];
        const int count = stretches[k + 1] - from;
        windowSum(r + from, deviation + from, count, kResidualSmoothing);
        for (int n = from; n < from + count; ++n) {
            const double d = r[n] - deviation[n] / width;
            deviation[n] = d * d;
        }
        windowSum(deviation + from, energy_.data() + from, count, kEnergyWidth);
    }
}

// Mean of the sorted energies between the trim fractions at both ends. Two
// partial selections put exactly those ranks in place, in any order,
// which gives the sum of a full sort to rounding at a fraction of its cost.
// The selections leave them in the order std::nth_element does, which the
// sum's rounding depends on.
double ClickDetector::trimmedLevel() {
    std::copy(energy_.begin(), energy_.end(), work_.begin());
    const int trim = static_cast<int>(kTrimFraction * length_);
    const int last = length_ - trim;  // rank of the last value averaged
    double* begin = work_.data();
    double* end = begin + length_;
    if (!hoareSelect(begin, begin + trim, end) ||
        (last > trim && !hoareSelect(begin + trim + 1, begin + last, end))) {
        std::copy(energy_.begin(), energy_.end(), work_.begin());
        std::nth_element(begin, begin + trim, end);
        if (last > trim) std::nth_element(begin + trim + 1, begin + last, end);
    }
    double sum = 0.0;
    for (int n = trim; n <= last; ++n) sum += work_[n];
    return sum / (length_ - 2 * trim + 1);
}

// Energies above the outlier limit count as the level; the result is
// smoothed over 101 samples and scaled by the threshold factor.
void ClickDetector::computeThreshold(double level, double thresh) {
    const double limit = kOutlierFactor * level;
    for (int n = 0; n < length_; ++n) work_[n] = energy_[n] > limit ? level : energy_[n];
    runningWindowSum(work_.data(), threshold_.data(), length_, kThresholdSmoothing);
    const double width = 2 * kThresholdSmoothing + 1;
    const DoublePair widthPair = splatPair(width), threshPair = splatPair(thresh);
    int n = 0;
    for (; n + 2 <= length_; n += 2) storePair(&threshold_[n], loadPair(&threshold_[n]) / widthPair * threshPair);
    for (; n < length_; ++n) threshold_[n] = threshold_[n] / width * thresh;
}

void ClickDetector::scan() {
    bool open = false;
    int start = 0;
    double peak = 0.0;
    for (int n = order_ + 1; n < length_ - order_; ++n) {
        const bool above = energy_[n] > threshold_[n];
        if (above && !open) {
            start = n - 1;
            open = true;
            peak = 0.0;
        } else if (!above && open) {
            if (n - start < maxLength_) {
                starts_[clickCount_] = start;
                ends_[clickCount_] = n;
                peaks_[clickCount_] = peak;
                ++clickCount_;
            }
            open = false;
        }
        if (above) peak = std::max(peak, energy_[n]);
    }
}

// Trims each click to the samples around its peak that are not far weaker,
// then marks the clicks that lie within reach of a far stronger one: the
// echoes of a spike in a signal the model predicts well clear the threshold
// as one long stretch.
void ClickDetector::dropEchoes() {
    for (int i = 0; i < clickCount_; ++i) {
        const double floor = peaks_[i] / kEchoRatio;
        int first = starts_[i] + 1;
        int last = ends_[i] - 1;
        while (first < last && energy_[first] <= floor) ++first;
        while (last > first && energy_[last] <= floor) --last;
        starts_[i] = first - 1;
        ends_[i] = last + 1;
    }
    for (int i = 0; i < clickCount_; ++i) {
        bool echo = false;
        for (int j = i - 1; j >= 0 && ends_[j] >= starts_[i] - kEchoReach && !echo; --j)
            echo = peaks_[j] > kEchoRatio * peaks_[i];
        for (int j = i + 1; j < clickCount_ && starts_[j] <= ends_[i] + kEchoReach && !echo; ++j)
            echo = peaks_[j] > kEchoRatio * peaks_[i];
        // So is a click near a disturbance in the unscanned ends of the frame.
        for (int n = std::max(starts_[i] - kEchoReach, 0); n <= order_ && !echo; ++n)
            echo = energy_[n] > kEchoRatio * peaks_[i];
        for (int n = std::min(ends_[i] + kEchoReach, length_ - 1); n >= length_ - order_ - 1 && !echo; --n)
            echo = energy_[n] > kEchoRatio * peaks_[i];
        keep_[i] = !echo;
    }
    keepMarked();
}

// Joins clicks separated by a few samples: a burst whose residual energy
// dips inside it comes out of the scan in pieces, and each piece would be
// refined with the unrepaired samples of the next as its known context.
void ClickDetector::mergeNeighbours() {
    if (clickCount_ == 0) return;
    int merged = 0;
    for (int i = 1; i < clickCount_; ++i) {
        const bool close = starts_[i] - ends_[merged] <= kMergeGap;
        if (close && ends_[i] - starts_[merged] < maxLength_) {
            ends_[merged] = std::max(ends_[merged], ends_[i]);
            peaks_[merged] = std::max(peaks_[merged], peaks_[i]);
            continue;
        }
        ++merged;
        starts_[merged] = starts_[i];
        ends_[merged] = ends_[i];
        peaks_[merged] = peaks_[i];
    }
    clickCount_ = merged + 1;
}

namespace {

// Whether x[from .. to] (clipped to the frame) holds kSilentRun exact zeros
// in a row.
bool holdsSilence(const double* x, int length, int from, int to) {
    int run = 0;
    for (int n = std::max(from, 0); n <= std::min(to, length - 1); ++n) {
        run = x[n] == 0.0 ? run + 1 : 0;
        if (run >= kSilentRun) return true;
    }
    return false;
}

}  // namespace

// A sound that starts out of digital silence (or stops into it) leaves a
// residual as strong as a click's, where the model predicts the silence to
// go on (or the sound to). A region that digital silence adjoins, within the
// model order, on one side only is such an edge and is kept as it is. A
// click inside silence, with silence on both sides, is still a click.
void ClickDetector::dropSilenceEdges(const double* x) {
    for (int i = 0; i < clickCount_; ++i) {
        const bool before = holdsSilence(x, length_, starts_[i] - order_, ends_[i]);
        const bool after = holdsSilence(x, length_, starts_[i], ends_[i] + order_);
        keep_[i] = before == after;
    }
    keepMarked();
}

// Narrows each click to the disturbed samples. The two-sided residual
// spreads a disturbance over the model order on both sides, so the region
// above the threshold is wider than the click. The forward residual is clean
// before a disturbance begins and the backward one after it ends: the click
// runs from the first sample whose forward residual, to the last whose
// backward residual, stands out both from its peak in the region (by
// kEdgeRatio) and from the same residual on the clean side of the region (by
// kEdgeStandOut), reached from the residual's peak in steps of at most
// kEdgeGap samples. A disturbance that fades in and out, as a burst shaped
// by a window does, has edges far below its peak that the fill must still
// replace: left as known samples, they pull the fill with them.
void ClickDetector::localize(const double* x, const double* a) {
    for (int i = 0; i < clickCount_; ++i) {
        const int from = starts_[i];
        const int to = ends_[i];
        double* forward = work_.data();
        double* backward = work_.data() + (to - from + 1);
        double forwardPeak = 0.0, backwardPeak = 0.0;
        for (int n = from; n <= to; ++n) {
            const double f = forwardResidual(x, a, n, order_);
            const double b = backwardResidual(x, a, n, order_);
            forward[n - from] = f * f;
            backward[n - from] = b * b;
            forwardPeak = std::max(forwardPeak, f * f);
            backwardPeak = std::max(backwardPeak, b * b);
        }
        // Mean squared residuals over up to an order of samples outside the
        // region, as far as the frame holds their predictions.
        double forwardFloor = 0.0, backwardFloor = 0.0;
        int count = 0;
        for (int n = std::max(from - order_, order_); n < from; ++n, ++count) {
            const double f = forwardResidual(x, a, n, order_);
            forwardFloor += f * f;
        }
        forwardFloor = count > 0 ? forwardFloor / count : forwardPeak;
        count = 0;
        for (int n = to + 1; n <= std::min(to + order_, length_ - 1 - order_); ++n, ++count) {
            const double b = backwardResidual(x, a, n, order_);
            backwardFloor += b * b;
        }
        backwardFloor = count > 0 ? backwardFloor / count : backwardPeak;
        const double forwardEdge = std::max(forwardPeak / kEdgeRatio, kEdgeStandOut * forwardFloor);
        const double backwardEdge = std::max(backwardPeak / kEdgeRatio, kEdgeStandOut * backwardFloor);
        // The edge is at most the former one, a peak over kEchoRatio.
        const double forwardLimit = std::min(forwardEdge, forwardPeak / kEchoRatio);
        const double backwardLimit = std::min(backwardEdge, backwardPeak / kEchoRatio);
        // The click runs out from the peak of each residual as long as the
        // samples above the edge follow within kEdgeGap of one another.
        // Music's own residual passes four times its mean every twenty
        // samples or so; the first such sample in the region, far from the
        // burst, would otherwise start the click, and the fill of the clean
        // samples it takes in strays.
        int forwardPeakAt = from;
        for (int n = from; n <= to; ++n)
            if (forward[n - from] > forward[forwardPeakAt - from]) forwardPeakAt = n;
        int first = forwardPeakAt;
        for (int n = first - 1; n >= from && first - n <= kEdgeGap; --n)
            if (forward[n - from] > forwardLimit) first = n;
        int backwardPeakAt = to;
        for (int n = to; n >= from; --n)
            if (backward[n - from] > backward[backwardPeakAt - from]) backwardPeakAt = n;
        int last = std::max(backwardPeakAt, first);
        for (int n = last + 1; n <= to && n - last <= kEdgeGap; ++n)
            if (backward[n - from] > backwardLimit) last = n;
        starts_[i] = std::max(from, first - 1);
        ends_[i] = std::min(to, last + 1);
    }
}

void ClickDetector::keepMarked() {
    int kept = 0;
    for (int i = 0; i < clickCount_; ++i) {
        if (!keep_[i]) continue;
        starts_[kept] = starts_[i];
        ends_[kept] = ends_[i];
        peaks_[kept] = peaks_[i];
        ++kept;
    }
    clickCount_ = kept;
}
