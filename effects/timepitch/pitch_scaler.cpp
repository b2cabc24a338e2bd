#include "effects/timepitch/pitch_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "effects/timepitch/exponent_parameter.h"
#include "effects/timepitch/realigned_stack.h"
#include "effects/timepitch/spectrum_resampling.h"
#include "effects/timepitch/time_pitch_presets.h"
#include "framework/portable_math.h"

namespace {

constexpr int kCapacity = 5000;
// Runs of unread bins this close are kept as one.
constexpr int kJoinedGap = 16;
double shownFactor(double value);
double exponentOf(double factor);

constexpr ParameterInfo kParameters[] = {
    {{"Pitch", 1.0, -1.0, 0.0}, "\xC3\x97", "pitch \xC3\x97" "3^Pitch, length kept", shownFactor, exponentOf},
};
constexpr ExponentParameter kPitch(kParameters[0].descriptor, kLog2Of3);

// The slider shows the factor.
double shownFactor(double value) { return kPitch.shown(value); }
double exponentOf(double factor) { return kPitch.exponent(factor); }

}  // namespace

PitchScaler::PitchScaler(double sampleRate, int channels, double frameSeconds, double hopFraction,
                         double pitchFactor)
    : BlockEffect(sampleRate, frameSeconds, hopFraction, channels, kCapacity, kFrameOverlapAdd),
      transform_(frameLength()),
      binCount_(frameLength() / 2 + 1),
      binAdvance_(2.0 * portable::kPi * hop() / frameLength()),
      pitchFactor_(pitchFactor),
      expectedAdvance_(binCount_, 0.0),
      resampling_(binCount_),
      outputPhase_(static_cast<size_t>(channelCount()) * binCount_, 0.0),
      lastSpectrum_(static_cast<size_t>(channelCount()) * frameLength(), 0.0),
      silentBins_(static_cast<size_t>(channelCount()) * frameLength(), 0.0),
      settled_(channelCount(), 0),
      analysed_(channelCount(), 0),
      binPhase_(static_cast<size_t>(channelCount()) * binCount_, 0.0),
      previousPhase_(static_cast<size_t>(channelCount()) * binCount_, 0.0),
      sourceExpected_(binCount_, 0.0),
      re_(binCount_, 0.0),
      im_(binCount_, 0.0),
      magnitude_(binCount_, 0.0),
      advance_(binCount_, 0.0),
      newMagnitude_(binCount_, 0.0),
      newAdvance_(binCount_, 0.0) {
    for (int k = 1; k < binCount_; ++k) expectedAdvance_[k] = expectedAdvance_[k - 1] + binAdvance_;
    unreadFirst_.reserve(binCount_);
    unreadCount_.reserve(binCount_);
}

int PitchScaler::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int PitchScaler::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void PitchScaler::setParameters(const double* values) { pitchFactor_ = kPitch.factor(values[0]); }

int PitchScaler::presets(const PresetRecord** table) {
    *table = kPitchScalerPresets.records;
    return kPitchScalerPresets.count;
}

int PitchScaler::presetCount() { return kPitchScalerPresets.count; }

double PitchScaler::displayValue(int parameterIndex, double value) {
    return parameterIndex == 0 ? shownValue(kParameters[0], value) : value;
}

void PitchScaler::processFrame(int channelMask) {
    if (!configured_ || resampling_.factor() != pitchFactor_) configure();
    for (int c = 0; c < channelCount(); ++c) {
        if (!channelSelected(c, channelMask)) continue;
        double* x = framePlane(c);
        transform_.forward(x);
        analyse(x, c);
        resampling_.apply(magnitude_.data(), advance_.data(), newMagnitude_.data(), newAdvance_.data());
        synthesise(x, c);
        transform_.inverse(x);
    }
}

namespace {

bool sameBits(double a, double b) {
    std::uint64_t u, v;
    std::memcpy(&u, &a, sizeof u);
    std::memcpy(&v, &b, sizeof v);
    return u == v;
}

// The per-bin arithmetic over contiguous arrays that do not overlap, so that
// the compiler vectorises it. Each is built twice: for the baseline and, on
// x86, with AVX2, chosen when the processor has it. AVX2 brings no multiply-add,
// so every lane takes the same IEEE steps and the results are the same bits.
#define MORV_ANALYSE_BINS_BODY                                                             \
    for (int j = 0; j < count; ++j) {                                                      \
        const double phase = portable::angle(im[j], re[j]);                                \
        const double deviation = portable::wrapDeviation(phase - previous[j] - expected[j]); \
        previous[j] = phase;                                                               \
        advance[j] = expected[j] + deviation;                                              \
        magnitude[j] = std::sqrt(re[j] * re[j] + im[j] * im[j]);                           \
    }
// Bins from 1 on: out holds bin k's real and imaginary parts at 2 k - 2 and 2 k - 1.
#define MORV_SYNTHESISE_BINS_BODY                                         \
    for (int k = 0; k < count; ++k) {                                     \
        const double phase = portable::wrapTurns(phases[k] + advance[k]); \
        phases[k] = phase;                                                \
        double s, c;                                                      \
        portable::sinCos(phase, &s, &c);                                  \
        out[2 * k] = magnitude[k] * c;                                    \
        out[2 * k + 1] = magnitude[k] * s;                                \
    }

#define MORV_ANALYSE_BINS_ARGS                                                                                  \
    (const double* __restrict re, const double* __restrict im, const double* __restrict expected,               \
     double* __restrict previous, double* __restrict magnitude, double* __restrict advance, int count)
#define MORV_SYNTHESISE_BINS_ARGS                                                                   \
    (const double* __restrict magnitude, const double* __restrict advance, double* __restrict phases, \
     double* __restrict out, int count)

void analyseBinsBaseline MORV_ANALYSE_BINS_ARGS { MORV_ANALYSE_BINS_BODY }
void synthesiseBinsBaseline MORV_SYNTHESISE_BINS_ARGS { MORV_SYNTHESISE_BINS_BODY }

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
__attribute__((target("avx2"), flatten)) MORV_REALIGN void analyseBinsAvx2 MORV_ANALYSE_BINS_ARGS {
    MORV_ANALYSE_BINS_BODY
}
__attribute__((target("avx2"), flatten)) MORV_REALIGN void synthesiseBinsAvx2 MORV_SYNTHESISE_BINS_ARGS {
    MORV_SYNTHESISE_BINS_BODY
}
bool hasAvx2() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}
// With AVX-512F GCC may fuse a multiply and an add, which rounds once where
// the baseline rounds twice: contraction is turned off for these two (with
// GCC's attribute; other compilers keep to AVX2). Eight lanes a vector.
#if !defined(__clang__)
#define MORV_AVX512 target("avx512f", "prefer-vector-width=512"), optimize("fp-contract=off")
__attribute__((MORV_AVX512, flatten)) MORV_REALIGN void analyseBinsAvx512 MORV_ANALYSE_BINS_ARGS {
    MORV_ANALYSE_BINS_BODY
}
__attribute__((MORV_AVX512, flatten)) MORV_REALIGN void synthesiseBinsAvx512 MORV_SYNTHESISE_BINS_ARGS {
    MORV_SYNTHESISE_BINS_BODY
}
bool hasAvx512() {
    static const bool available = __builtin_cpu_supports("avx512f");
    return available;
}
#else
bool hasAvx512() { return false; }
#define analyseBinsAvx512 analyseBinsAvx2
#define synthesiseBinsAvx512 synthesiseBinsAvx2
#endif
#else
bool hasAvx2() { return false; }
bool hasAvx512() { return false; }
#define analyseBinsAvx2 analyseBinsBaseline
#define synthesiseBinsAvx2 synthesiseBinsBaseline
#define analyseBinsAvx512 analyseBinsBaseline
#define synthesiseBinsAvx512 synthesiseBinsBaseline
#endif

void analyseBins MORV_ANALYSE_BINS_ARGS {
    (hasAvx512() ? analyseBinsAvx512 : hasAvx2() ? analyseBinsAvx2 : analyseBinsBaseline)(
        re, im, expected, previous, magnitude, advance, count);
}
void synthesiseBins MORV_SYNTHESISE_BINS_ARGS {
    (hasAvx512() ? synthesiseBinsAvx512 : hasAvx2() ? synthesiseBinsAvx2 : synthesiseBinsBaseline)(
        magnitude, advance, phases, out, count);
}

}  // namespace

// A new factor. Every bin's previous phase is gathered first: the bins the
// old factor read keep theirs; the others take that of the channel's last
// analysed spectrum, or, when no frame was analysed since the last change,
// what they were gathered as then (all zero before the first frame, as the
// phases then are). The new sources take theirs from it, with their expected
// advances. The silent output bins may have moved.
void PitchScaler::configure() {
    const int K = binCount_, N = frameLength();
    const std::vector<int>& sources = resampling_.sources();
    for (int c = 0; c < channelCount(); ++c) {
        double* phase = binPhase_.data() + static_cast<size_t>(c) * K;
        const double* last = lastSpectrum_.data() + static_cast<size_t>(c) * N;
        const double* previous = previousPhase_.data() + static_cast<size_t>(c) * K;
        if (analysed_[c])
            for (size_t r = 0; r < unreadFirst_.size(); ++r)
                for (int b = unreadFirst_[r], end = b + unreadCount_[r]; b < end; ++b)
                    phase[b] = portable::angle(last[2 * b], last[2 * b - 1]);
        for (size_t j = 0; j < sources.size(); ++j) phase[sources[j]] = previous[j];
        phase[0] = phase[K - 1] = 0.0;
        analysed_[c] = 0;
    }

    resampling_.configure(pitchFactor_);
    configured_ = true;
    const int n = static_cast<int>(sources.size());
    for (int j = 0; j < n; ++j) sourceExpected_[j] = expectedAdvance_[sources[j]];
    for (int c = 0; c < channelCount(); ++c) {
        const double* phase = binPhase_.data() + static_cast<size_t>(c) * K;
        double* previous = previousPhase_.data() + static_cast<size_t>(c) * K;
        for (int j = 0; j < n; ++j) previous[j] = phase[sources[j]];
    }
    // The inner bins between and above the sources, as runs; runs a few bins
    // apart are joined (the sources between are copied too, unread), so that
    // a factor below 1/2, which leaves every second or third bin out, copies
    // one stretch.
    unreadFirst_.clear();
    unreadCount_.clear();
    auto addRun = [&](int first, int end) {
        if (!unreadFirst_.empty() && unreadFirst_.back() + unreadCount_.back() + kJoinedGap >= first)
            unreadCount_.back() = end - unreadFirst_.back();
        else {
            unreadFirst_.push_back(first);
            unreadCount_.push_back(end - first);
        }
    };
    int next = 1;
    for (int b : sources) {
        const int end = std::min(b, K - 1);
        if (end > next) addRun(next, end);
        next = std::max(next, b + 1);
    }
    if (next < K - 1) addRun(next, K - 1);
    std::fill(settled_.begin(), settled_.end(), 0);
}

// Magnitude and true phase advance of every source bin: the advance expected
// of a component centred on bin k (k w) plus the deviation of the measured
// phase from it, wrapped into [-pi, pi]. The inner bins are gathered first so
// that the arithmetic runs over contiguous arrays.
void PitchScaler::analyse(const double* x, int channel) {
    const int K = binCount_, N = frameLength();
    double* kept = lastSpectrum_.data() + static_cast<size_t>(channel) * N;
    for (size_t r = 0; r < unreadFirst_.size(); ++r) {
        const int from = 2 * unreadFirst_[r] - 1;
        std::memcpy(kept + from, x + from, sizeof(double) * 2 * unreadCount_[r]);
    }
    analysed_[channel] = 1;
    const std::vector<int>& sources = resampling_.sources();
    const int n = static_cast<int>(sources.size());
    const int first = n > 0 && sources[0] == 0 ? 1 : 0;
    const int last = n > first && sources[n - 1] == K - 1 ? n - 1 : n;
    double* re = re_.data();
    double* im = im_.data();
    for (int j = first; j < last; ++j) {
        const int b = sources[j];
        re[j] = x[2 * b - 1];
        im[j] = x[2 * b];
    }
    analyseBins(re + first, im + first, sourceExpected_.data() + first,
                previousPhase_.data() + static_cast<size_t>(channel) * K + first, magnitude_.data() + first,
                advance_.data() + first, last - first);
    double* magnitude = magnitude_.data();
    double* advance = advance_.data();
    if (first == 1) {
        magnitude[0] = std::fabs(x[0]);
        advance[0] = 0.0;
    }
    if (last == n - 1) {
        magnitude[n - 1] = std::fabs(x[N - 1]);
        advance[n - 1] = expectedAdvance_[K - 1];
    }
}

// Bins 1 .. K - 2 rebuilt from the new magnitudes with phases accumulated
// from the new advances; bins 0 and K - 1 keep their transform values. The
// accumulated phase is kept within [-pi, pi] by whole turns, which leaves its
// sine and cosine as they are and keeps its precision over long streams.
// Above the resampling's written end magnitude and advance are 0: once every
// such phase is left as it is by the wrap, those bins repeat their values.
void PitchScaler::synthesise(double* x, int channel) {
    const int K = binCount_, end = resampling_.writtenEnd();
    double* outputPhase = outputPhase_.data() + static_cast<size_t>(channel) * K;
    synthesiseBins(newMagnitude_.data() + 1, newAdvance_.data() + 1, outputPhase + 1, x + 1, end - 1);
    if (end >= K - 1) return;
    double* silent = silentBins_.data() + static_cast<size_t>(channel) * frameLength();
    const int from = 2 * end - 1, count = 2 * (K - 1 - end);
    if (settled_[channel]) {
        std::memcpy(x + from, silent + from, sizeof(double) * count);
        return;
    }
    bool settles = true;
    for (int k = end; k < K - 1; ++k) {
        const double phase = portable::wrapTurns(outputPhase[k] + 0.0);
        outputPhase[k] = phase;
        double s, c;
        portable::sinCos(phase, &s, &c);
        x[2 * k - 1] = 0.0 * c;
        x[2 * k] = 0.0 * s;
        settles = settles && sameBits(portable::wrapTurns(phase + 0.0), phase);
    }
    if (settles) {
        std::memcpy(silent + from, x + from, sizeof(double) * count);
        settled_[channel] = 1;
    }
}
