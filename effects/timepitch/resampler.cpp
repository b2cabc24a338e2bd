#include "effects/timepitch/resampler.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "effects/timepitch/exponent_parameter.h"
#include "effects/timepitch/time_pitch_presets.h"

namespace {

// The base's buffers start with room for this many samples.
constexpr int kCapacity = 6000;
double shownFactor(double value);
double exponentOf(double factor);

// The factor is output samples per input sample: 2 plays at half
// the speed and an octave lower.
constexpr ParameterInfo kParameters[] = {
    {{"Ratio", 1.0, -1.5, 0.0}, "\xC3\x97",
     "output length \xC3\x97" "2^Ratio (speed and pitch \xC3\x97" "2^-Ratio)", shownFactor, exponentOf},
};
constexpr ExponentParameter kRatio(kParameters[0].descriptor, kLog2Of2);

// The slider shows the factor.
double shownFactor(double value) { return kRatio.shown(value); }
double exponentOf(double factor) { return kRatio.exponent(factor); }

// Channel c of frames interleaved doubles as a plane of floats. A stereo pair
// goes four frames to a step: cvtpd2ps rounds as the scalar conversion does.
void takePlanes(const double* in, int channels, int frames, float* const* planes) {
    int i = 0;
#if defined(__SSE2__)
    if (channels == 2) {
        for (; i + 4 <= frames; i += 4) {
            const double* from = in + 2 * i;
            const __m128 first = _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(from)), _mm_cvtpd_ps(_mm_loadu_pd(from + 2)));
            const __m128 second =
                _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(from + 4)), _mm_cvtpd_ps(_mm_loadu_pd(from + 6)));
            _mm_storeu_ps(planes[0] + i, _mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
            _mm_storeu_ps(planes[1] + i, _mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
        }
    }
#endif
    for (int c = 0; c < channels; ++c) {
        const double* from = in + c;
        float* plane = planes[c];
        for (int k = i; k < frames; ++k) plane[k] = static_cast<float>(from[k * channels]);
    }
}

// The planes' first frames, interleaved as doubles into out.
void givePlanes(const float* const* planes, int channels, int frames, double* out) {
    int i = 0;
#if defined(__SSE2__)
    if (channels == 2) {
        for (; i + 4 <= frames; i += 4) {
            const __m128 left = _mm_loadu_ps(planes[0] + i), right = _mm_loadu_ps(planes[1] + i);
            const __m128 low = _mm_unpacklo_ps(left, right), high = _mm_unpackhi_ps(left, right);
            double* to = out + 2 * i;
            _mm_storeu_pd(to, _mm_cvtps_pd(low));
            _mm_storeu_pd(to + 2, _mm_cvtps_pd(_mm_movehl_ps(low, low)));
            _mm_storeu_pd(to + 4, _mm_cvtps_pd(high));
            _mm_storeu_pd(to + 6, _mm_cvtps_pd(_mm_movehl_ps(high, high)));
        }
    }
#endif
    for (int c = 0; c < channels; ++c) {
        const float* plane = planes[c];
        for (int k = i; k < frames; ++k) out[k * channels + c] = plane[k];
    }
}

}  // namespace

Resampler::Resampler(int channels)
    : EffectModule(kCapacity),
      channels_(channels < 1 ? 1 : channels),
      converters_(static_cast<size_t>(channels_)),
      stagedConverters_(static_cast<size_t>(channels_)),
      planePointers_(static_cast<size_t>(channels_)),
      pendingOutput_(channels_, kCapacity) {
    openConverters(converters_, factor_);
    openFactor_ = factor_;
}

// The planes take the new frames behind the pending ones. When they reach
// the end, the pending frames move to the front, into planes of twice the
// size needed if they must grow (so that moves stay rare).
void Resampler::appendInput(const double* in, int frames) {
    const int C = channels_;
    if (inputStart_ + inputFrames_ + frames > planeCapacity_) {
        const int need = inputFrames_ + frames;
        const int capacity = need > planeCapacity_ ? 2 * need : planeCapacity_;
        std::vector<float> grown;
        if (capacity > planeCapacity_) grown.resize(static_cast<size_t>(C) * capacity);
        float* to = grown.empty() ? inputPlanes_.data() : grown.data();
        for (int c = 0; c < C && inputFrames_ > 0; ++c) {
            const float* from = inputPlanes_.data() + static_cast<size_t>(c) * planeCapacity_ + inputStart_;
            std::memmove(to + static_cast<size_t>(c) * capacity, from, sizeof(float) * inputFrames_);
        }
        if (!grown.empty()) inputPlanes_.swap(grown);
        planeCapacity_ = capacity;
        inputStart_ = 0;
    }
    for (int c = 0; c < C; ++c) {
        planePointers_[c] = inputPlanes_.data() + static_cast<size_t>(c) * planeCapacity_ + inputStart_ + inputFrames_;
    }
    takePlanes(in, C, frames, planePointers_.data());
    inputFrames_ += frames;
}

void Resampler::consumeInput(int frames) {
    inputStart_ += frames;
    inputFrames_ -= frames;
    if (inputFrames_ == 0) inputStart_ = 0;
}

int Resampler::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int Resampler::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void Resampler::setParameters(const double* values) {
    factor_ = kRatio.factor(values[0]);
    requestRedesign();
}

int Resampler::extraOutput() { return pendingOutput_.queued(); }

int Resampler::presets(const PresetRecord** table) {
    *table = kResamplerPresets.records;
    return kResamplerPresets.count;
}

int Resampler::presetCount() { return kResamplerPresets.count; }

double Resampler::displayValue(int parameterIndex, double value) {
    return parameterIndex == 0 ? shownValue(kParameters[0], value) : value;
}

int Resampler::reset() {
    inputStart_ = 0;
    inputFrames_ = 0;
    pendingOutput_.clear();
    openConverters(converters_, factor_);
    openFactor_ = factor_;
    return 0;
}

// openFactor_ changes only in swapDesign and reset, both under the lock.
void Resampler::captureDesignRequest() {
    requestedFactor_ = factor_;
    stagedChange_ = factor_ != openFactor_;
}

// Opening closes what the staging slot held: the converters last swapped out
// are released here, off the audio thread.
void Resampler::buildDesign() {
    if (stagedChange_) openConverters(stagedConverters_, requestedFactor_);
}

void Resampler::swapDesign() {
    if (!stagedChange_) return;
    converters_.swap(stagedConverters_);
    openFactor_ = requestedFactor_;
}

void Resampler::openConverters(std::vector<ResampleConverter>& converters, double factor) {
    converters[0].open(factor);
    for (size_t c = 1; c < converters.size(); ++c) converters[c].openLike(converters[0]);
}

int Resampler::process(const double* in, double* out, int inCount, int outCapacity, int /*channelMask*/) {
    const int C = channels_;
    // Read the input before anything is written to out, which may be in.
    if (inCount > 0) appendInput(in, inCount / C);
    updateDesign();

    // Room per channel: about what this block's input becomes. Output the room
    // cannot take waits inside the converters and comes first next time.
    const int room = static_cast<int>(inCount * openFactor_ / C);
    if (outputPlanes_.size() < static_cast<size_t>(C) * room) outputPlanes_.resize(static_cast<size_t>(C) * room);

    int written = 0, used = 0;
    for (int c = 0; c < C; ++c) {
        float* inPlane = inputPlanes_.data() + static_cast<size_t>(c) * planeCapacity_ + inputStart_;
        float* outPlane = outputPlanes_.data() + static_cast<size_t>(c) * room;
        // The channels run in step: every converter takes and gives the same counts.
        written = converters_[c].process(inPlane, inputFrames_, &used, outPlane, room);
    }
    consumeInput(used);

    for (int c = 0; c < C; ++c) planePointers_[c] = outputPlanes_.data() + static_cast<size_t>(c) * room;
    givePlanes(planePointers_.data(), C, written, pendingOutput_.reserve(C * written));
    pendingOutput_.commit(C * written);
    return pendingOutput_.deliver(out, outCapacity);
}
