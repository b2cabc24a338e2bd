#include "effects/timepitch/pitch_scaler.h"

#include <algorithm>
#include <cmath>

#include "effects/timepitch/exponent_parameter.h"
#include "effects/timepitch/spectrum_resampling.h"
#include "effects/timepitch/time_pitch_presets.h"
#include "framework/portable_math.h"

namespace {

constexpr int kCapacity = 5000;
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
      previousPhase_(static_cast<size_t>(channelCount()) * binCount_, 0.0),
      outputPhase_(static_cast<size_t>(channelCount()) * binCount_, 0.0),
      magnitude_(binCount_, 0.0),
      advance_(binCount_, 0.0),
      newMagnitude_(binCount_, 0.0),
      newAdvance_(binCount_, 0.0) {
    for (int k = 1; k < binCount_; ++k) expectedAdvance_[k] = expectedAdvance_[k - 1] + binAdvance_;
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
    const int K = binCount_;
    for (int c = 0; c < channelCount(); ++c) {
        if (!channelSelected(c, channelMask)) continue;
        double* x = framePlane(c);
        transform_.forward(x);
        analyse(x, previousPhase_.data() + static_cast<size_t>(c) * K);
        std::fill(newMagnitude_.begin(), newMagnitude_.end(), 0.0);
        std::fill(newAdvance_.begin(), newAdvance_.end(), 0.0);
        resampleSpectrum(magnitude_.data(), advance_.data(), K, pitchFactor_, newMagnitude_.data(),
                         newAdvance_.data());
        synthesise(x, outputPhase_.data() + static_cast<size_t>(c) * K);
        transform_.inverse(x);
    }
}

// Magnitude and true phase advance of every bin: the advance expected of a
// component centred on bin k (k w) plus the deviation of the measured phase
// from it, wrapped into [-pi, pi].
void PitchScaler::analyse(const double* x, double* previousPhase) {
    const int K = binCount_;
    const double* expected = expectedAdvance_.data();
    double* magnitude = magnitude_.data();
    double* advance = advance_.data();
    magnitude[0] = std::fabs(x[0]);
    advance[0] = 0.0;
    for (int k = 1; k < K - 1; ++k) {
        const double re = x[2 * k - 1], im = x[2 * k];
        const double phase = portable::angle(im, re);
        const double deviation = portable::wrapDeviation(phase - previousPhase[k] - expected[k]);
        previousPhase[k] = phase;
        advance[k] = expected[k] + deviation;
    }
    for (int k = 1; k < K - 1; ++k) magnitude[k] = std::sqrt(x[2 * k - 1] * x[2 * k - 1] + x[2 * k] * x[2 * k]);
    magnitude[K - 1] = std::fabs(x[frameLength() - 1]);
    advance[K - 1] = expected[K - 1];
}

// Bins 1 .. K - 2 rebuilt from the new magnitudes with phases accumulated
// from the new advances; bins 0 and K - 1 keep their transform values. The
// accumulated phase is kept within [-pi, pi] by whole turns, which leaves its
// sine and cosine as they are and keeps its precision over long streams.
void PitchScaler::synthesise(double* x, double* outputPhase) const {
    const int K = binCount_;
    const double* magnitude = newMagnitude_.data();
    const double* advance = newAdvance_.data();
    for (int k = 1; k < K - 1; ++k) {
        const double phase = portable::wrapTurns(outputPhase[k] + advance[k]);
        outputPhase[k] = phase;
        double s, c;
        portable::sinCos(phase, &s, &c);
        x[2 * k - 1] = magnitude[k] * c;
        x[2 * k] = magnitude[k] * s;
    }
}
