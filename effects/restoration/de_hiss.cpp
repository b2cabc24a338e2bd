#include "effects/restoration/de_hiss.h"

#include <algorithm>
#include <cmath>

#include "framework/packed_spectrum.h"
#include "framework/tiny_state.h"

namespace {

constexpr double kFrameDuration = 0.05;
constexpr double kHopFraction = 0.25;
constexpr int kQueueCapacity = 5000;
// Weight of the previous value in the smoothed magnitude and the floor.
constexpr double kMemory = 0.7;
constexpr double kUpdate = 1.0 - kMemory;
// The hiss reference is measured over the bins from this fraction up.
constexpr double kHissBandStart = 0.6;
constexpr double kFloorWeight = 30.0;
constexpr double kMinimumGain = 0.01;

// r^e for r in [0, 1]. The exponents of the default strength (1.5) and of
// the slider ends (1 and 2) are computed with a square root or a product,
// which equal the power to rounding at a fraction of its cost.
inline double ratioPower(double r, double exponent) {
    if (exponent == 1.5) return r * std::sqrt(r);
    if (exponent == 1.0) return r;
    if (exponent == 2.0) return r * r;
    return std::pow(r, exponent);
}

}  // namespace

DeHiss::DeHiss(double sampleRate, int channels)
    : BlockEffect(sampleRate, kFrameDuration, kHopFraction, channels, kQueueCapacity, kFrameOverlapAdd),
      transform_(frameLength()),
      binCount_(frameLength() / 2 + 1),
      magnitude_(binCount_, 0.0),
      smoothed_(static_cast<size_t>(binCount_) * channels, 0.0),
      floor_(smoothed_.size(), 0.0) {}

namespace {

const ParameterInfo kParameters[] = {
    {{"Thresh", 1.0, 0.0, 0.5}, "", "strength of the reduction", nullptr},
};

}  // namespace

int DeHiss::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int DeHiss::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void DeHiss::setParameters(const double* values) { thresh_ = values[0]; }

void DeHiss::processFrame(int channelMask) {
    for (int c = 0; c < channelCount(); ++c) {
        if (!channelSelected(c, channelMask)) continue;
        double* x = framePlane(c);
        double* smoothed = smoothed_.data() + static_cast<size_t>(c) * binCount_;
        double* floor = floor_.data() + static_cast<size_t>(c) * binCount_;
        transform_.forward(x);
        measureMagnitudes(x);
        trackFloor(smoothed, floor, hissReference());
        applyGains(x, smoothed, floor);
        transform_.inverse(x);
    }
}

void DeHiss::measureMagnitudes(const double* spectrum) {
    forEachBin(spectrum, frameLength(), [&](int k, auto bin) { magnitude_[k] = bin.magnitude(); });
}

// Floor increment limit f from the mean magnitude of the upper bins. The
// divisor is one more than the number of bins summed.
double DeHiss::hissReference() const {
    const int first = static_cast<int>(std::floor(kHissBandStart * binCount_));
    double sum = 0.0;
    for (int k = first; k < binCount_; ++k) sum += magnitude_[k];
    return 2.0 * kUpdate * thresh_ * sum / (binCount_ - first + 1);
}

void DeHiss::trackFloor(double* smoothed, double* floor, double hiss) const {
    if (frameCounter() >= 1) {
        for (int k = 0; k < binCount_; ++k) {
            const double update = kUpdate * magnitude_[k];
            smoothed[k] = kMemory * smoothed[k] + update;
            floor[k] = kMemory * floor[k] + std::min(update, hiss);
        }
        return;
    }
    // First frame: start from the magnitudes, with the floor capped at the
    // level the increments would reach over one frame of hops.
    const double cap = frameLength() / (kUpdate * hop()) * hiss;
    for (int k = 0; k < binCount_; ++k) {
        smoothed[k] = magnitude_[k];
        floor[k] = std::min(magnitude_[k], cap);
    }
}

// The last reader of the smoothed magnitudes and the floor in a frame; both
// decay by kMemory per frame through silence, so they are flushed here.
void DeHiss::applyGains(double* spectrum, double* smoothed, double* floor) const {
    const double exponent = thresh_ + 1.0;
    const double floorWeight = kFloorWeight * exponent;
    // Scaling real and imaginary parts equals rebuilding the bin from its
    // scaled magnitude and phase, to rounding, without atan2, cos and sin.
    auto gainOf = [&](int k) {
        const double a = smoothed[k];
        const double b = floor[k];
        smoothed[k] = flushTiny(a);
        floor[k] = flushTiny(b);
        const double d = floorWeight * b + a;
        if (!(d > 0.0)) return 1.0;
        return (1.0 - kMinimumGain) * ratioPower(a / d, exponent) + kMinimumGain;
    };
    forEachBin(spectrum, frameLength(), [&](int k, auto bin) { bin.scale(gainOf(k)); });
}
