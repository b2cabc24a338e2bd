#include "effects/timepitch/tempo_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

#include "effects/timepitch/exponent_parameter.h"
#include "effects/timepitch/realigned_stack.h"
#include "effects/timepitch/time_pitch_presets.h"
#include "framework/portable_math.h"

namespace {

constexpr int kCapacity = 5000;
double shownFactor(double value);
double exponentOf(double factor);

// The stretch factor is output length over input length.
constexpr ParameterInfo kParameters[] = {
    {{"Tempo", 1.0, -1.3, 0.0}, "\xC3\x97", "output length \xC3\x97" "2^Tempo, pitch kept", shownFactor, exponentOf},
};
constexpr ExponentParameter kTempo(kParameters[0].descriptor, kLog2Of2);

// The slider shows the factor.
double shownFactor(double value) { return kTempo.shown(value); }
double exponentOf(double factor) { return kTempo.exponent(factor); }
// The history's storage holds this many histories: the latest one slides
// along it and is moved back to the start only when it reaches the end.
constexpr int kHistorySpans = 4;
// Within this distance of 1 the stretch is taken as none: no lag is sought.
constexpr double kNoStretch = 0.001;

// bins[k] times the conjugate of other[k] for count complex bins laid out as
// (re, im) pairs: (ar xr + ai xi, ai xr - ar xi), each product and sum one
// IEEE step, so the vector walk below gives the same bits.
void conjugateProductBaseline(double* __restrict bins, const double* __restrict other, int count) {
    for (int k = 0; k < count; ++k) {
        const double ar = bins[2 * k], ai = bins[2 * k + 1];
        const double xr = other[2 * k], xi = other[2 * k + 1];
        bins[2 * k] = ar * xr + ai * xi;
        bins[2 * k + 1] = ai * xr - ar * xi;
    }
}

// The overlap-add of a frame's windowed segment: its first D C samples, with
// the output frame's overlap (its samples from D C on) added to the first
// S C of them, go to out; the rest become the new output frame, the overlap
// moved to its start. Reading o ahead of where it writes, a forward walk
// never reads a sample it has already overwritten.
#define MORV_OVERLAP_ADD_BODY                                                          \
    const int both = SC < DC ? SC : DC;                                                \
    for (int i = 0; i < both; ++i) out[i] = o[DC + i] + w[i] * segment[i];             \
    for (int i = both; i < DC; ++i) out[i] = w[i] * segment[i];                        \
    for (int i = DC; i < SC; ++i) o[i] = o[DC + i] + w[i] * segment[i];                \
    for (int i = SC > DC ? SC : DC; i < NC; ++i) o[i] = w[i] * segment[i];
#define MORV_OVERLAP_ADD_ARGS                                                                       \
    (const double* __restrict segment, const double* __restrict w, double* o, double* __restrict out, \
     int SC, int DC, int NC)

void overlapAddBaseline MORV_OVERLAP_ADD_ARGS { MORV_OVERLAP_ADD_BODY }

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
// Two bins a vector: (ar xr, ai xr) + (ai xi, -(ar xi)); a - b and a + (-b)
// are the same IEEE result.
__attribute__((target("avx"))) MORV_REALIGN void conjugateProductAvx(double* __restrict bins,
                                                                     const double* __restrict other, int count) {
    const __m256d flip = _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
    int k = 0;
    for (; k + 2 <= count; k += 2) {
        const __m256d a = _mm256_loadu_pd(bins + 2 * k);
        const __m256d x = _mm256_loadu_pd(other + 2 * k);
        const __m256d xr = _mm256_unpacklo_pd(x, x);
        const __m256d xi = _mm256_unpackhi_pd(x, x);
        const __m256d swapped = _mm256_permute_pd(a, 0x5);
        const __m256d cross = _mm256_xor_pd(_mm256_mul_pd(swapped, xi), flip);
        _mm256_storeu_pd(bins + 2 * k, _mm256_add_pd(_mm256_mul_pd(a, xr), cross));
    }
    conjugateProductBaseline(bins + 2 * k, other + 2 * k, count - k);
}
__attribute__((target("avx"))) MORV_REALIGN void overlapAddAvx MORV_OVERLAP_ADD_ARGS { MORV_OVERLAP_ADD_BODY }
bool hasAvx() {
    static const bool available = __builtin_cpu_supports("avx");
    return available;
}
#else
bool hasAvx() { return false; }
#define conjugateProductAvx conjugateProductBaseline
#define overlapAddAvx overlapAddBaseline
#endif

void conjugateProduct(double* bins, const double* other, int count) {
    (hasAvx() ? conjugateProductAvx : conjugateProductBaseline)(bins, other, count);
}
void overlapAdd MORV_OVERLAP_ADD_ARGS { (hasAvx() ? overlapAddAvx : overlapAddBaseline)(segment, w, o, out, SC, DC, NC); }

int hopFor(int outputHop, double stretch) { return std::max(1, static_cast<int>(outputHop / stretch)); }

// S from the hop fraction; frames too short to leave an output hop (a rate of
// a few hertz) keep one frame of it.
int overlapFor(int frameLength, double hopFraction) {
    const int overlap = chooseTransformLength(static_cast<int>((1.0 - hopFraction) * frameLength), 2);
    return std::min(overlap, frameLength - 1);
}

}  // namespace

TempoScaler::TempoScaler(double sampleRate, int channels, double frameSeconds, double hopFraction, double stretch,
                         double searchSeconds)
    : EffectModule(kCapacity),
      channels_(channels < 1 ? 1 : channels),
      frameLength_(chooseTransformLength(static_cast<int>(sampleRate * frameSeconds), 2)),
      overlap_(overlapFor(frameLength_, hopFraction)),
      outputHop_(frameLength_ - overlap_),
      searchRange_(static_cast<int>(sampleRate * searchSeconds)),
      historyLength_(0),
      stretch_(stretch),
      inputHop_(0),
      pendingOutput_(channels_, kCapacity),
      transform_(2 * overlap_ * channels_) {
    if (searchRange_ < 0) searchRange_ = 0;
    inputHop_ = hopFor(outputHop_, stretch_);
    // 2.5 D + M + S frames, or more: a frame's segment ends Ha + lag + N frames
    // into the history, and at the fastest tempos (stretch below about 0.56)
    // that lies beyond 2.5 D + M + S.
    historyLength_ = std::max(static_cast<int>(2.5 * outputHop_ + searchRange_ + overlap_), furthestReach());

    const int C = channels_;
    history_.assign(static_cast<size_t>(kHistorySpans) * historyLength_ * C, 0.0);
    outputFrame_.assign(static_cast<size_t>(frameLength_) * C, 0.0);
    window_.assign(static_cast<size_t>(frameLength_) * C, 0.0);
    correlationA_.assign(static_cast<size_t>(2) * overlap_ * C, 0.0);
    correlationB_.assign(static_cast<size_t>(2) * overlap_ * C, 0.0);
    buildWindow();
}

int TempoScaler::furthestReach() const {
    const int hop = std::max(inputHop_, hopFor(outputHop_, kTempo.lowestFactor()));
    return hop + std::min(hop, searchRange_) + frameLength_;
}

// Four-term Blackman-Harris window, normalised so that its squares laid at
// every D frames add up to 1, then squared: one window does analysis and
// synthesis at once, and overlap-adding frames at hop D has unit gain.
void TempoScaler::buildWindow() {
    const int N = frameLength_, D = outputHop_, C = channels_;
    std::vector<double> w(static_cast<size_t>(N), 1.0);
    if (N > 1) {
        const double step = 2.0 * portable::kPi / (N - 1);
        for (int i = 0; i < N; ++i) {
            const double a = step * i;
            w[i] = 0.35875 - 0.48829 * portable::cosine(a) + 0.14128 * portable::cosine(2.0 * a) -
                   0.01168 * portable::cosine(3.0 * a);
        }
    }
    for (int p = 0; p < D && p < N; ++p) {
        double sum = 0.0;
        for (int i = p; i < N; i += D) sum += w[i] * w[i];
        const double norm = std::sqrt(sum);
        if (norm > 0.0)
            for (int i = p; i < N; i += D) w[i] /= norm;
    }
    for (int i = 0; i < N; ++i)
        for (int c = 0; c < C; ++c) window_[static_cast<size_t>(i) * C + c] = w[i] * w[i];
}

int TempoScaler::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int TempoScaler::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void TempoScaler::setParameters(const double* values) {
    stretch_ = kTempo.factor(values[0]);
    inputHop_ = hopFor(outputHop_, stretch_);
}

int TempoScaler::extraOutput() { return pendingOutput_.queued(); }

int TempoScaler::presets(const PresetRecord** table) {
    *table = kTempoScalerPresets.records;
    return kTempoScalerPresets.count;
}

int TempoScaler::presetCount() { return kTempoScalerPresets.count; }

double TempoScaler::displayValue(int parameterIndex, double value) {
    return parameterIndex == 0 ? shownValue(kParameters[0], value) : value;
}

double TempoScaler::lengthRatio() { return static_cast<double>(outputHop_) / inputHop_; }

int TempoScaler::leadingFrames() { return std::max(0, overlap_ - outputHop_); }

int TempoScaler::reset() {
    pendingInput_ = 0;
    pendingOutput_.clear();
    std::fill(history_.begin(), history_.end(), 0.0);
    historyStart_ = 0;
    std::fill(outputFrame_.begin(), outputFrame_.end(), 0.0);
    frameCounter_ = 0;
    return 0;
}

void TempoScaler::appendInput(const double* in, int count) {
    if (count <= 0) return;
    if (pendingInput_ + count > capacityA_) growA(pendingInput_ + count, pendingInput_);
    std::memcpy(bufferA_.get() + pendingInput_, in, sizeof(double) * count);
    pendingInput_ += count;
}

int TempoScaler::process(const double* in, double* out, int inCount, int outCapacity, int /*channelMask*/) {
    appendInput(in, inCount);  // before anything is written to out, which may be in
    const int C = channels_;
    int pos = 0;
    for (;;) {
        const int need = (frameCounter_ == 0 ? historyLength_ : inputHop_) * C;
        if (pendingInput_ - pos < need) break;
        if (frameCounter_ == 0)
            firstFrame(bufferA_.get() + pos);
        else
            laterFrame(bufferA_.get() + pos);
        ++frameCounter_;
        pos += need;
    }
    if (pos > 0) {
        pendingInput_ -= pos;
        std::memmove(bufferA_.get(), bufferA_.get() + pos, sizeof(double) * pendingInput_);
    }
    return pendingOutput_.deliver(out, outCapacity);
}

// The first frame fills the whole history and emits all N frames.
void TempoScaler::firstFrame(const double* input) {
    const int NC = frameLength_ * channels_;
    historyStart_ = 0;
    std::memcpy(history_.data(), input, sizeof(double) * historyLength_ * channels_);
    for (int i = 0; i < NC; ++i) outputFrame_[i] = window_[i] * history_[i];
    pendingOutput_.push(outputFrame_.data(), NC);
}

// Every later frame takes Ha new input frames and emits D output frames. The
// output frame's last S frames overlap the new frame: its first D frames,
// overlap-added, go straight to the output queue, and the rest stays as the
// next frame's overlap.
void TempoScaler::laterFrame(const double* input) {
    const int C = channels_;
    const int HC = inputHop_ * C, SC = overlap_ * C, NC = frameLength_ * C, DC = outputHop_ * C;
    const int LC = historyLength_ * C;
    if (historyStart_ + HC + LC > static_cast<int>(history_.size())) {
        std::memmove(history_.data(), history_.data() + historyStart_ + HC, sizeof(double) * (LC - HC));
        historyStart_ = 0;
    } else {
        historyStart_ += HC;
    }
    double* h = history_.data() + historyStart_;
    std::memcpy(h + LC - HC, input, sizeof(double) * HC);

    const int lag = std::fabs(stretch_ - 1.0) < kNoStretch ? 0 : bestLag();
    const double* segment = h + (inputHop_ + lag) * C;
    overlapAdd(segment, window_.data(), outputFrame_.data(), pendingOutput_.reserve(DC), SC, DC, NC);
    pendingOutput_.commit(DC);
}

// The lag, in frames, at which the candidate segment (the history from Ha on)
// correlates best with the output's tail: c(lag) = sum a[i] x[i + lag C] over
// the S C samples of the tail, both zero-padded to 2 S C so that the
// transform's product gives the linear correlation at every lag at once.
// Candidates 0, +1, -1, +2, -2, ... up to -(m - 1) and +m, m = min(Ha, M); one
// replaces the best only when strictly greater, and none at or below 0 counts.
int TempoScaler::bestLag() {
    const int C = channels_;
    const int SC = overlap_ * C, T = 2 * SC;
    double* a = correlationA_.data();
    double* x = correlationB_.data();
    std::memcpy(a, outputFrame_.data() + outputHop_ * C, sizeof(double) * SC);
    std::fill(a + SC, a + T, 0.0);
    std::memcpy(x, history_.data() + historyStart_ + inputHop_ * C, sizeof(double) * SC);
    std::fill(x + SC, x + T, 0.0);
    transform_.forward(a);
    transform_.forward(x);
    // a times the conjugate of x, in the packed layout (bins 0 and T/2 real).
    a[0] *= x[0];
    a[T - 1] *= x[T - 1];
    conjugateProduct(a + 1, x + 1, T / 2 - 1);
    transform_.inverse(a);
    // The inverse holds sum a[i] x[i - j] at index j: lag l sits at -l C.
    auto value = [&](int l) { return a[l > 0 ? T - l * C : -l * C]; };

    const int m = std::min(inputHop_, searchRange_);
    int best = 0;
    double bestValue = 0.0;
    auto consider = [&](int l) {
        const double v = value(l);
        if (v > bestValue) {
            bestValue = v;
            best = l;
        }
    };
    consider(0);
    for (int l = 1; l < m; ++l) {
        consider(l);
        consider(-l);
    }
    if (m > 0) consider(m);
    return best;
}
