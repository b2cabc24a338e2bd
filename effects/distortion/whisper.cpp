#include "effects/distortion/whisper.h"

#include <cmath>

#include "framework/portable_math.h"

namespace {

constexpr double kFrameDuration = 0.01;
constexpr double kHopFraction = 0.25;
constexpr int kQueueCapacity = 5000;
using portable::kPi;
// 2 pi / 32767: the random part of a phase, r x kRadiansPerStep - pi, is
// uniform over -pi .. pi.
constexpr double kRadiansPerStep = 0.00019175345033660654;

double randomAngle(int r) { return r * kRadiansPerStep - kPi; }

}  // namespace

Whisper::Whisper(double sampleRate, int channels)
    : BlockEffect(sampleRate, kFrameDuration, kHopFraction, channels, kQueueCapacity, kFrameOverlapAdd),
      transform_(frameLength()),
      binCount_(frameLength() / 2 + 1),
      random_(kSeed),
      randomPhasors_(ModuleRandom::kMax + 1) {
    for (int r = 0; r <= ModuleRandom::kMax; ++r) {
        portable::sinCos(randomAngle(r), &randomPhasors_[r].sin, &randomPhasors_[r].cos);
    }
}

namespace {

const ParameterInfo kParameters[] = {
    {{"Wet", 1.0, 0.0, 1.0}, "", "share of random phase", nullptr},
};

}  // namespace

int Whisper::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int Whisper::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void Whisper::setParameters(const double* values) { wet_ = values[0]; }

void Whisper::processFrame(int channelMask) {
    for (int c = 0; c < channelCount(); ++c)
        if (channelSelected(c, channelMask)) whisperPlane(framePlane(c));
}

// Bins 1 .. N/2 - 1 in ascending order each draw one number and take the
// phase (r x 2 pi / 32767 - pi) W + (1 - W) phi, phi the bin's own phase, at
// their own magnitude; bin 0 and bin N/2 stay. The sine, cosine and arc
// tangent are the portable ones, so the plug-in and the command line give
// the same samples.
void Whisper::whisperPlane(double* plane) {
    const int last = binCount_ - 2;
    const double w = wet_;
    if (w == 0.0) {
        // The phase is the bin's own: the frame comes back as it is (the
        // transforms would only add rounding), but the sequence moves on.
        for (int k = 1; k <= last; ++k) random_.next();
        return;
    }
    transform_.forward(plane);
    if (w == 1.0) {
        // The bin's own phase has no share: no arc tangent, and the phasor of
        // the random angle comes from the table.
        for (int k = 1; k <= last; ++k) {
            double& re = plane[2 * k - 1];
            double& im = plane[2 * k];
            const double magnitude = std::sqrt(re * re + im * im);
            const Phasor& phasor = randomPhasors_[random_.next()];
            re = magnitude * phasor.cos;
            im = magnitude * phasor.sin;
        }
    } else {
        for (int k = 1; k <= last; ++k) {
            double& re = plane[2 * k - 1];
            double& im = plane[2 * k];
            const double magnitude = std::sqrt(re * re + im * im);
            const double own = portable::angle(im, re);
            const double phase = randomAngle(random_.next()) * w + (1.0 - w) * own;
            double s, c;
            portable::sinCos(phase, &s, &c);
            re = magnitude * c;
            im = magnitude * s;
        }
    }
    transform_.inverse(plane);
}
