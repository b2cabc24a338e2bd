#include "effects/restoration/de_click.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "effects/restoration/click_fill.h"
#include "effects/restoration/pitch_period.h"
#include "effects/restoration/weighted_sums.h"

namespace {

constexpr double kFrameDuration = 0.025;
constexpr double kHopFraction = 0.85;

// Longest click the interpolator must take. A quarter of the frame covers the
// click limit from 32000 Hz up; below that the limit itself sets the size, so
// that every accepted click is refined.
int interpolatorSize(int frameLength) { return std::max(frameLength / 4, DeClick::kMaxClickLength); }

}  // namespace

DeClick::DeClick(double sampleRate, int channels)
    : BlockEffect(sampleRate, kFrameDuration, kHopFraction, channels, kModuleCapacity, kFrameReplace),
      detector_(frameLength(), kModelOrder, kMaxClickLength),
      burgWork_(kHistoryLength + frameLength()),
      coefficients_(kMaxModelOrder + 1, 0.0),
      frameModel_(kModelOrder + 1, 0.0),
      interpolator_(interpolatorSize(frameLength()), kMaxModelOrder),
      periodicFill_(frameLength(), 0),
      borrowed_(frameLength(), 0),
      spanStarts_(frameLength(), 0),
      spanEnds_(frameLength(), 0),
      clickedStore_(kHistoryLength + frameLength(), 0),
      clicked_(clickedStore_.data() + kHistoryLength),
      history_(static_cast<size_t>(channels) * kHistoryLength, 0.0),
      historyLength_(channels, 0),
      extended_(kHistoryLength + frameLength(), 0.0),
      floorScratch_(3 * (kMaxModelOrder + 1), 0.0),
      errors_(frameLength() + kMaxModelOrder + 1, 0.0),
      contextRuns_(frameLength()),
      firstFill_(frameLength(), 0.0),
      refined_(frameLength(), 0.0),
      unrepaired_(frameLength(), 0.0),
      carriedValues_(static_cast<size_t>(channels) * overlap(), 0.0),
      carriedMask_(static_cast<size_t>(channels) * overlap(), 0),
      frameModels_(static_cast<size_t>(channels) * (kModelOrder + 1), 0.0),
      channelClicks_(channels, 0),
      channelStarts_(static_cast<size_t>(channels) * frameLength(), 0),
      channelEnds_(static_cast<size_t>(channels) * frameLength(), 0) {}

namespace {

const ParameterInfo kParameters[] = {
    {{"Thresh", 20.0, 3.0, 8.0}, "", "detection threshold: larger finds fewer clicks", nullptr},
};

}  // namespace

int DeClick::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int DeClick::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void DeClick::setParameters(const double* values) { thresh_ = values[0]; }

void DeClick::processFrame(int channelMask) {
    const int n = frameLength();
    // Every channel's clicks are found before any is repaired: a burst on
    // both channels may stand out in one of them only, or only in part.
    for (int c = 0; c < channelCount(); ++c) {
        if (!channelSelected(c, channelMask)) continue;
        double* plane = framePlane(c);
        applyCarriedRepairs(c, plane);
        detectChannel(c, plane);
    }
    for (int c = 0; c < channelCount(); ++c) {
        double* plane = framePlane(c);
        if (!channelSelected(c, channelMask)) {
            // Its output passes unchanged, so nothing is handed on.
            std::fill_n(carriedMask_.begin() + static_cast<size_t>(c) * overlap(), overlap(), 0);
            keepHistory(c, plane);
            continue;
        }
        // The frame replaces the accumulator afterwards, so channel c's N
        // values of it hold the unrepaired copy meanwhile.
        double* y = accumulator() + static_cast<size_t>(c) * n;
        historyAvailable_ = historyLength_[c];
        std::copy_n(history_.begin() + static_cast<size_t>(c) * kHistoryLength, kHistoryLength, extended_.begin());
        double* x = extended_.data() + kHistoryLength;
        std::copy(plane, plane + n, x);
        gatherClicks(c, channelMask);
        std::copy_n(frameModels_.begin() + static_cast<size_t>(c) * (kModelOrder + 1), kModelOrder + 1,
                    frameModel_.begin());
        repairChannel(x, y);
        carryRepairs(c, x);
        std::copy(x, x + n, plane);
        keepHistory(c, x);
    }
}

// The frame's model and clicks of one channel.
void DeClick::detectChannel(int channel, const double* x) {
    const int n = frameLength();
    // An early stop keeps the model found so far, which still whitens the
    // frame as far as it goes.
    BurgModel(x, n, kModelOrder, coefficients_.data(), burgWork_);
    const int clicks = detector_.detect(x, coefficients_.data(), thresh_);
    std::copy_n(coefficients_.begin(), kModelOrder + 1,
                frameModels_.begin() + static_cast<size_t>(channel) * (kModelOrder + 1));
    detectedClicks_ += clicks;
    const size_t base = static_cast<size_t>(channel) * n;
    channelClicks_[channel] = clicks;
    for (int i = 0; i < clicks; ++i) {
        channelStarts_[base + i] = detector_.clickStart(i);
        channelEnds_[base + i] = detector_.clickEnd(i);
    }
}

// The clicks the channel repairs: its own, except that an own region longer
// than kLongRegionSeconds that overlaps a wide click found in another channel
// (one of kMinWideClick samples up to kLongRegionSeconds, and overlapping no
// other own click) gives way to that click. A burst on both channels may
// stand out whole in one of them, and in the other only as part of a long
// disturbed region that the isMusic test would keep whole; the burst is the
// click there too.
void DeClick::gatherClicks(int channel, int channelMask) {
    const int n = frameLength();
    const size_t own = static_cast<size_t>(channel) * n;
    const int ownCount = channelClicks_[channel];
    for (int i = 0; i < ownCount; ++i) {
        spanStarts_[i] = channelStarts_[own + i];
        spanEnds_[i] = channelEnds_[own + i];
        borrowed_[i] = 0;
    }
    const int longRegion = static_cast<int>(kLongRegionSeconds * sampleRate());
    for (int c = 0; c < channelCount(); ++c) {
        if (c == channel || !channelSelected(c, channelMask)) continue;
        const size_t other = static_cast<size_t>(c) * n;
        for (int i = 0; i < channelClicks_[c]; ++i) {
            const int start = channelStarts_[other + i];
            const int end = channelEnds_[other + i];
            if (end - start + 1 < kMinWideClick || end - start + 1 > longRegion) continue;
            int overlapping = -1, overlaps = 0;
            for (int j = 0; j < ownCount; ++j)
                if (spanStarts_[j] <= end && start <= spanEnds_[j]) {
                    overlapping = j;
                    ++overlaps;
                }
            if (overlaps == 1 && spanEnds_[overlapping] - spanStarts_[overlapping] + 1 > longRegion) {
                spanStarts_[overlapping] = start;
                spanEnds_[overlapping] = end;
                borrowed_[overlapping] = 1;
            }
        }
    }
    clickCount_ = ownCount;
}

int DeClick::reset() {
    std::fill(carriedMask_.begin(), carriedMask_.end(), 0);
    std::fill(historyLength_.begin(), historyLength_.end(), 0);
    return BlockEffect::reset();
}

// This frame's first overlap samples are the last ones of the previous frame,
// which saw a click there with context on both sides, while this frame sees
// less than a model order before it, or nothing of its start. The previous
// frame's repairs of clicks that begin in the first half of the overlap (or
// before this frame's scan) are taken over before anything else, so that
// this frame finds nothing left to repair there.
void DeClick::applyCarriedRepairs(int channel, double* x) {
    const size_t base = static_cast<size_t>(channel) * overlap();
    for (int k = 0; k < overlap(); ++k) {
        if (!carriedMask_[base + k]) continue;
        x[k] = carriedValues_[base + k];
        carriedMask_[base + k] = 0;
    }
}

// The frame's output, its first hop samples, follows the history.
void DeClick::keepHistory(int channel, const double* x) {
    double* history = history_.data() + static_cast<size_t>(channel) * kHistoryLength;
    const int added = std::min(hop(), kHistoryLength);
    std::copy(history + added, history + kHistoryLength, history);
    std::copy(x + hop() - added, x + hop(), history + kHistoryLength - added);
    historyLength_[channel] = std::min(historyLength_[channel] + hop(), kHistoryLength);
}

void DeClick::carryRepairs(int channel, const double* x) {
    const size_t base = static_cast<size_t>(channel) * overlap();
    const int shift = hop();
    // Clicks from here on are the next frame's own, unless they start where
    // it does not scan (at low sample rates the overlap is that short).
    const int handOver = shift + std::max(overlap() / 2, kModelOrder + 1);
    for (int i = 0; i < clickCount_; ++i) {
        const int start = spanStarts_[i];
        const int end = spanEnds_[i];
        if (end < shift || start >= handOver) continue;
        for (int k = std::max(start, shift); k <= end; ++k) {
            carriedValues_[base + k - shift] = x[k];
            carriedMask_[base + k - shift] = 1;
        }
    }
}

void DeClick::repairChannel(double* x, double* y) {
    const int n = frameLength();
    std::memcpy(y, x, sizeof(double) * n);
    const int clicks = clickCount_;
    if (clicks == 0) return;

    // The fills overwrite y at the clicks; the unrepaired samples stay here.
    std::memcpy(unrepaired_.data(), x, sizeof(double) * n);
    const int period = pitchPeriod(y, n, sampleRate());
    markClicks(clicks);
    for (int i = 0; i < clicks; ++i)
        periodicFill_[i] = fillClick(x, y, n, spanStarts_[i], spanEnds_[i], period, clicked_);
    for (int i = 0; i < clicks; ++i) {
        int& start = spanStarts_[i];
        int& end = spanEnds_[i];
        const double limit = kFillHeadroom * contextPeak(start, end);
        // Autoregressive interpolation decays toward zero across a gap
        // longer than the model order; there a pitch-synchronous fill is the
        // better estimate and is kept.
        const bool refine = !(periodicFill_[i] && end - start + 1 > kModelOrder);
        repairClick(x, start, end, limit, refine, periodicFill_[i] != 0, borrowed_[i] != 0);
    }
}

void DeClick::markClicks(int clicks) {
    std::fill(clickedStore_.begin(), clickedStore_.end(), 0);
    for (int i = 0; i < clicks; ++i) std::fill(clicked_ + spanStarts_[i], clicked_ + spanEnds_[i] + 1, 1);
}

// Largest magnitude of the unclicked samples within kModelContext of a click.
double DeClick::contextPeak(int start, int end) const {
    const int from = std::max(start - kModelContext, 0);
    const int to = std::min(end + kModelContext, frameLength() - 1);
    double peak = 0.0;
    for (int i = from; i <= to; ++i)
        if (!clicked_[i]) peak = std::max(peak, std::fabs(unrepaired_[i]));
    return peak;
}

// A click is short, or stands out from the music around it. A long region at
// a change of level that does not (the attack of a drum hit, as loud as what
// follows it) leaves prediction errors as a click does, but it is the music.
// Mean energies of the unclicked samples within kSideSeconds on either side;
// a side the frame cuts short to fewer than a tenth of that leaves the region
// to be judged as a click.
bool DeClick::isMusic(int start, int end, bool anyLength) const {
    if (!anyLength && end - start + 1 <= kLongRegionSeconds * sampleRate()) return false;
    const int reach = std::max(10, static_cast<int>(kSideSeconds * sampleRate()));
    auto meanEnergy = [&](int from, int to, bool skipClicked, int* count) {
        double energy = 0.0;
        *count = 0;
        for (int i = std::max(from, 0); i <= std::min(to, frameLength() - 1); ++i) {
            if (skipClicked && clicked_[i]) continue;
            energy += unrepaired_[i] * unrepaired_[i];
            ++*count;
        }
        return *count > 0 ? energy / *count : 0.0;
    };
    int beforeCount = 0, afterCount = 0, regionCount = 0;
    const double before = meanEnergy(start - reach, start - 1, true, &beforeCount);
    const double after = meanEnergy(end + 1, end + reach, true, &afterCount);
    const double region = meanEnergy(start, end, false, &regionCount);
    if (beforeCount < reach / 10 || afterCount < reach / 10) return false;
    const double louder = std::max(before, after);
    const double quieter = std::min(before, after);
    return louder > (anyLength ? kOnsetLevelChange : kLevelChange) * quieter && region < kStandOut * louder;
}

bool DeClick::withinLimit(const double* values, int count, double limit) {
    for (int i = 0; i < count; ++i)
        if (!(std::fabs(values[i]) <= limit)) return false;
    return true;
}

double DeClick::forwardError(const double* x, int n, int order) const {
    double e = 0.0;
    for (int i = 0; i <= order; ++i) e += coefficients_[i] * x[n - i];
    return e;
}

double DeClick::backwardError(const double* x, int n, int order) const {
    double e = 0.0;
    for (int i = 0; i <= order; ++i) e += coefficients_[i] * x[n + i];
    return e;
}

// The detector finds a click's edges under the model of the whole frame,
// click included, whose errors hide the faint edges of a disturbance that
// fades in and out. Left as known samples, those edges pull the refined fill
// far off (the model of smooth music magnifies a small rough step), so a
// wide click takes in, one at a time, each neighbour that its own clean
// model does not predict: forward from the samples before the click, backward
// from those after it, against the mean error energy of the clean stretch
// beyond kEdgeReach. The neighbours must be unclicked, with the order of
// samples beyond them inside the frame.
void DeClick::widenToDisturbance(const double* x, int& start, int& end, int from, int to, int order) {
    auto meanEnergy = [&](int first, int last, bool forward) {
        const int count = std::max(last - first + 1, 0);
        weightedSums(x + first, forward ? -1 : 1, coefficients_.data(), order + 1, count, errors_.data());
        double energy = 0.0;
        for (int j = 0; j < count; ++j) energy += errors_[j] * errors_[j];
        return count > 0 ? energy / count : -1.0;
    };
    const double before = meanEnergy(std::max(from + order, start - kEdgeReach - order), start - kEdgeReach - 1, true);
    if (before >= 0.0) {
        for (int k = 0; k < kEdgeReach && mayGrowBack(start, order) && !clicked_[start - 1]; ++k) {
            const double e = forwardError(x, start - 1, order);
            if (!(e * e > kEdgeStandOut * before)) break;
            clicked_[--start] = 1;
        }
    }
    const double after =
        meanEnergy(end + kEdgeReach + 1, std::min(to - order, end + kEdgeReach + order), false);
    if (after >= 0.0) {
        for (int k = 0; k < kEdgeReach && end + 1 + order < frameLength() - 1 && !clicked_[end + 1]; ++k) {
            const double e = backwardError(x, end + 1, order);
            if (!(e * e > kEdgeStandOut * after)) break;
            clicked_[++end] = 1;
        }
    }
}

// A click may take in the sample before it when that sample is the frame's
// own (the history is output already) and order samples precede it.
bool DeClick::mayGrowBack(int start, int order) const {
    return start - 1 > std::max(order - historyAvailable_, 1);
}

// The edges of a burst that fades in and out, as one shaped by a window
// does, sink under the model's error some samples before the burst ends, and
// widenToDisturbance stops there. On a wide click the fill then meets known
// samples that still hold a little of the burst, which bends it; a guard of
// kEdgeGuard unclicked samples on either side is replaced with the rest.
void DeClick::guardEdges(int& start, int& end, int order) {
    for (int k = 0; k < kEdgeGuard && mayGrowBack(start, order) && !clicked_[start - 1]; ++k) clicked_[--start] = 1;
    for (int k = 0; k < kEdgeGuard && end + 1 + order < frameLength() - 1 && !clicked_[end + 1]; ++k)
        clicked_[++end] = 1;
}

// Order of the model a click is refined under: kModelOrder for short clicks,
// higher for wide ones, as far as that many samples follow the click in the
// frame and precede it in the frame and its history.
int DeClick::refinementOrder(int start, int end) const {
    const int length = end - start + 1;
    const int wanted = length >= kMinWideClick ? std::min(kOrderPerSample * length, kMaxModelOrder) : kModelOrder;
    const int room = std::min(start + historyAvailable_, frameLength() - 1 - end);
    return std::max(kModelOrder, std::min(wanted, room));
}

// A refined fill that strays from the first fill much further than the
// unrepaired samples do follows the model where the samples around it do not
// pin it down: the model of smooth, loud music resonates, and a gap of a few
// samples in a passage that had no click comes back as a swing of full scale
// that its own model predicts better than the music. A click lies far off
// any estimate of what it hides, so it is measured against the first fill.
bool DeClick::plausibleRefinement(const double* x, int start, int length) const {
    double refinedOff = 0.0, unrepairedOff = 0.0;
    for (int k = 0; k < length; ++k) {
        const double r = x[start + k] - firstFill_[k];
        const double u = unrepaired_[start + k] - firstFill_[k];
        refinedOff += r * r;
        unrepairedOff += u * u;
    }
    return refinedOff <= kRefinementStray * unrepairedOff;
}

// Energy of the prediction errors, under the coefficients, of every residual
// that involves a sample of x[start .. end].
double DeClick::predictionErrorEnergy(const double* x, int start, int end, int order) {
    const int count = end + order - start + 1;
    weightedSums(x + start, -1, coefficients_.data(), order + 1, count, errors_.data());
    double energy = 0.0;
    for (int j = 0; j < count; ++j) energy += errors_[j] * errors_[j];
    return energy;
}

// Estimates an order-50 model of the unclicked samples within kModelContext
// of the click (a model estimated on the click's own fill, or on the fills
// of its neighbours, would only learn those fills back) and, when refine is
// set, re-estimates the click under it. The model does not depend on the
// fill, so a second pass would repeat the first. The click keeps its first
// fill when the clean context is too short for a model of that order, when
// the model does not predict the context well, when the system is
// unsolvable, or when the result exceeds the limit.
//
// Then the repair is checked against the same model: a disturbance added to
// the signal leaves prediction errors that its repair removes. Where the
// repair explains little more of them than the samples themselves did, the
// region was the music (an onset, a sharp attack), and it is left as it was;
// so is a fill louder than anything around it, which estimates nothing.
void DeClick::repairClick(double* x, int& start, int& end, double limit, bool refine, bool periodic,
                          bool borrowed) {
    if (isMusic(start, end, borrowed)) {
        std::copy(&unrepaired_[start], &unrepaired_[end] + 1, x + start);
        return;
    }
    const int n = frameLength();
    int order = refinementOrder(start, end);
    const int context = order == kModelOrder ? kModelContext : std::min(kContextPerOrder * order, kHistoryLength);
    const int from = std::max(start - context, -historyAvailable_);
    const int to = std::min(end + context, n - 1);
    int runs = 0;
    int topOrderPairs = 0;
    int baseOrderPairs = 0;
    for (int i = from; i <= to;) {
        if (clicked_[i]) {
            ++i;
            continue;
        }
        const int runStart = i;
        while (i <= to && !clicked_[i]) ++i;
        contextRuns_[runs++] = SampleRun{runStart, i - runStart};
        topOrderPairs += std::max(i - runStart - order, 0);
        baseOrderPairs += std::max(i - runStart - kModelOrder, 0);
    }
    // Context too short for the higher order (a short frame) still serves
    // the usual one.
    if (topOrderPairs < order && baseOrderPairs >= kModelOrder) {
        order = kModelOrder;
        topOrderPairs = baseOrderPairs;
    }
    // Without context enough for its own model, the click is judged under
    // the frame's.
    bool accepted = false;
    if (topOrderPairs >= order) {
        BurgResult model = BurgModel(x, contextRuns_.data(), runs, order, coefficients_.data(), burgWork_);
        accepted = model.complete && model.error <= kModelAcceptance;
        // Where a high order does not predict the context (noise, dense
        // texture), the usual one judges the click: the errors of a few
        // hundred residuals would drown those of the click.
        if (!accepted && order > kModelOrder) {
            order = kModelOrder;
            model = BurgModel(x, contextRuns_.data(), runs, order, coefficients_.data(), burgWork_);
            accepted = model.complete && model.error <= kModelAcceptance;
        }
        if (accepted && order > kModelOrder) addWhiteFloor(coefficients_.data(), order, kModelFloor, floorScratch_.data());
    } else {
        order = kModelOrder;
        std::copy(frameModel_.begin(), frameModel_.end(), coefficients_.begin());
    }
    if (accepted && end - start + 1 >= kMinWidenedLength) widenToDisturbance(x, start, end, from, to, order);
    if (accepted && end - start + 1 >= kMinGuardedLength) guardEdges(start, end, order);

    const int length = end - start + 1;
    std::copy(x + start, x + end + 1, firstFill_.begin());
    const double* repair = firstFill_.data();
    if (refine && accepted && interpolator_.interpolate(x, start, end, coefficients_.data(), order) &&
        withinLimit(x + start, length, limit) && plausibleRefinement(x, start, length)) {
        std::copy(x + start, x + end + 1, refined_.begin());
        repair = refined_.data();
    }
    // A straight line across more samples than the model order, where the
    // refinement failed, replaces a stretch of music with nothing like it.
    if (repair == firstFill_.data() && !periodic && length > kModelOrder) {
        std::copy(&unrepaired_[start], &unrepaired_[end] + 1, x + start);
        return;
    }
    std::copy(repair, repair + length, x + start);
    const double repaired = predictionErrorEnergy(x, start, end, order);
    std::copy(&unrepaired_[start], &unrepaired_[end] + 1, x + start);
    const double original = predictionErrorEnergy(x, start, end, order);
    const double reduction = order > kModelOrder ? kMinWideErrorReduction : kMinErrorReduction;
    if (original > reduction * repaired && withinLimit(repair, length, limit))
        std::copy(repair, repair + length, x + start);
}
