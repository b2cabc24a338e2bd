#include "effects/restoration/de_noise.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/double_pair.h"
#include "framework/packed_spectrum.h"
#include "framework/tiny_state.h"

namespace {

constexpr double kFrameDuration = 0.025;
constexpr double kHopFraction = 0.25;
// Keeps the a-posteriori ratio finite in bins where the learned noise is 0.
constexpr double kNoiseFloor = 1e-8;
// Keeps the Wiener gain defined when the strength is 0.
constexpr double kMinimumStrength = 1e-30;

}  // namespace

// Per-frame constants derived from the strength T.
struct DeNoise::FrameGains {
    double lambda;  // weight of the new magnitude in the smoothed magnitude
    double alpha;   // decision-directed weight of the previous frame
    double mu;      // Wiener over-subtraction factor
};

DeNoise::DeNoise(double sampleRate, int channels)
    : BlockEffect(sampleRate, kFrameDuration, kHopFraction, channels, kModuleCapacity, kFrameOverlapAdd),
      transform_(frameLength()),
      binCount_(frameLength() / 2 + 1),
      noisePower_(static_cast<size_t>(binCount_) * channels, 0.0),
      inverseNoise_(noisePower_.size(), 0.0),
      smoothedMagnitude_(noisePower_.size(), 0.0),
      gain_(noisePower_.size(), 1.0),
      previousPosteriorSnr_(noisePower_.size(), 1.0) {}

namespace {

const ParameterInfo kParameters[] = {
    {{"Thresh", 1.0, 0.0, 0.5}, "", "strength of the suppression", nullptr},
    {{"NoiseLen", 1.0, 0.05, 0.2}, "s", "time spent learning the noise", nullptr},
};

}  // namespace

int DeNoise::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int DeNoise::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

// The strength is held within its slider's range: above about 1.04 the
// decision-directed weight exceeds 1, the a-priori ratio can turn negative and
// the gain divides by zero (stored settings may hold such values).
void DeNoise::setParameters(const double* values) {
    thresh_ = std::clamp(values[0], 0.0, 1.0);
    noiseLength_ = values[1];
}

void DeNoise::snapNoise() {
    captured_ = false;
    learnedFrames_ = 0;
    setFrameCounter(0);
}

DeNoise::FrameGains DeNoise::gainsForFrame() const {
    return FrameGains{0.95 - 0.6 * thresh_, 0.971 + 0.028 * thresh_, 3.0 * thresh_ + kMinimumStrength};
}

int DeNoise::learningStart() const { return overlap() / hop() + 1; }

int DeNoise::learningEnd() const {
    const int frames = static_cast<int>(std::floor(noiseLength_ * sampleRate() / hop()));
    return learningStart() + frames;
}

void DeNoise::processFrame(int channelMask) {
    const int n = frameLength();
    const int counter = frameCounter();
    const bool learning = counter >= learningStart() && counter <= learningEnd();
    const FrameGains gains = gainsForFrame();

    for (int c = 0; c < channelCount(); ++c) {
        if (!channelSelected(c, channelMask)) continue;
        double* x = framePlane(c);
        if (captured_) {
            transform_.forward(x);
            suppress(x, c, gains);
            transform_.inverse(x);
        } else {
            // Silent while learning; the inverse of an all-zero spectrum is zero.
            if (learning) {
                transform_.forward(x);
                learnNoise(x, noisePower_.data() + static_cast<size_t>(c) * binCount_);
            }
            std::memset(x, 0, sizeof(double) * n);
        }
    }

    if (!captured_) {
        if (learning) ++learnedFrames_;
        if (counter > learningEnd()) captureProfile();
    }
}

void DeNoise::captureProfile() {
    for (size_t i = 0; i < noisePower_.size(); ++i) inverseNoise_[i] = 1.0 / (noisePower_[i] + kNoiseFloor);
    captured_ = true;
}

void DeNoise::learnNoise(const double* spectrum, double* noisePower) const {
    // Running form of the plain mean of the learned power spectra.
    const double beta = static_cast<double>(learnedFrames_) / (learnedFrames_ + 1);
    forEachBin(spectrum, frameLength(),
               [&](int k, auto bin) { noisePower[k] = (1.0 - beta) * bin.power() + beta * noisePower[k]; });
}

void DeNoise::suppress(double* spectrum, int channel, const FrameGains& gains) {
    const size_t offset = static_cast<size_t>(channel) * binCount_;
    const double* inverseNoise = inverseNoise_.data() + offset;
    double* smoothed = smoothedMagnitude_.data() + offset;
    double* gain = gain_.data() + offset;
    double* previous = previousPosteriorSnr_.data() + offset;
    const double lambda = gains.lambda;
    const double alpha = gains.alpha;
    const double mu = gains.mu;

    // Gain of bin k from its magnitude; updates the bin's smoothed magnitude,
    // a-posteriori ratio and gain. The smoothed magnitude decays through
    // silence and the gain falls by squares, so both are stored flushed.
    auto binGain = [&](int k, double magnitude) {
        const double s = lambda * magnitude + (1.0 - lambda) * smoothed[k];
        smoothed[k] = flushTiny(s);
        const double posterior = s * s * inverseNoise[k];
        const double g = gain[k];
        const double prior = alpha * g * g * previous[k] + (1.0 - alpha) * std::max(posterior - 1.0, 0.0);
        previous[k] = posterior;
        const double next = prior / (mu + prior);
        gain[k] = flushTiny(next);
        return next;
    };

    // The same steps for the two bins k and k + 1 at once, one in each lane,
    // with the same operations in the same order as binGain.
    const DoublePair lambdaPair = splatPair(lambda), keepPair = splatPair(1.0 - lambda);
    const DoublePair alphaPair = splatPair(alpha), freshPair = splatPair(1.0 - alpha), muPair = splatPair(mu);
    const DoublePair tiny = splatPair(kTinyState), zero = splatPair(0.0), one = splatPair(1.0);
    auto flushed = [&](DoublePair v) { return absPair(v) < tiny ? zero : v; };
    auto pairGains = [&](int k, DoublePair magnitude) {
        const DoublePair s = lambdaPair * magnitude + keepPair * loadPair(smoothed + k);
        storePair(smoothed + k, flushed(s));
        const DoublePair posterior = s * s * loadPair(inverseNoise + k);
        const DoublePair g = loadPair(gain + k);
        const DoublePair excess = posterior - one;
        const DoublePair prior = alphaPair * g * g * loadPair(previous + k) + freshPair * (excess < zero ? zero : excess);
        storePair(previous + k, posterior);
        const DoublePair next = prior / (muPair + prior);
        storePair(gain + k, flushed(next));
        return next;
    };

    // Scaling the real and imaginary parts by the gain equals rebuilding the
    // bin from its scaled magnitude and its phase, to rounding, without the
    // arc tangent, cosine and sine. DC and Nyquist keep their sign.
    const int length = frameLength();
    const int last = length / 2;
    RealBin<double> dc{spectrum[0]};
    dc.scale(binGain(0, dc.magnitude()));
    int k = 1;
    for (; k + 1 < last; k += 2) {
        double* pair = spectrum + 2 * k - 1;  // re k, im k, re k + 1, im k + 1
        const DoublePair first = loadPair(pair), second = loadPair(pair + 2);
        const DoublePair re = {first[0], second[0]}, im = {first[1], second[1]};
        const DoublePair next = pairGains(k, sqrtPair(re * re + im * im));
        storePair(pair, first * splatPair(next[0]));
        storePair(pair + 2, second * splatPair(next[1]));
    }
    for (; k < last; ++k) {
        const ComplexBin<double> bin = complexBin(spectrum, k);
        bin.scale(binGain(k, bin.magnitude()));
    }
    RealBin<double> nyquist{spectrum[length - 1]};
    nyquist.scale(binGain(last, nyquist.magnitude()));
}
