#include "effects/spatial/de_vocal_stereo.h"

#include <cmath>

#include "effects/spatial/spatial_presets.h"

namespace {

constexpr double kFrameDuration = 0.2;
constexpr double kHopFraction = 0.5;
constexpr int kQueueCapacity = 5000;
// Keeps the projection defined for a silent channel, and marks a projection
// vector too short to solve for.
constexpr double kTiny = 1e-15;
// "Hi F" reaches up to this far below half the sample rate.
constexpr double kHighEdgeMargin = 100.0;

}  // namespace

DeVocalStereo::DeVocalStereo(double sampleRate, int streamChannels)
    : ChannelPairEffect(sampleRate, kFrameDuration, kHopFraction, streamChannels, kQueueCapacity),
      transform_(frameLength()),
      binCount_(frameLength() / 2 + 1) {
    // A step of this frame (8820 samples at 44100 Hz) outgrows the queues'
    // first size, and how far the output queue runs ahead depends on how the
    // host's blocks fall against the step, reaching its peak only seconds
    // into a stream. Sized here for a step and a host block of up to the
    // construction capacity, they never grow while playing.
    const int step = hop() * kPairChannels;
    growA(step + kQueueCapacity);
    growB(2 * step + kQueueCapacity);
}

// "Hi F" reaches up to the margin below half the rate.
int DeVocalStereo::parameterInfo(double sampleRate, ParameterInfo* out) {
    const ParameterInfo parameters[] = {
        {{"Pann", 0.99, -0.99, 0.0}, "", "pan position of the source, -1 left to 1 right", nullptr},
        {{"Vocal", 3.0, -1.0, -1.0}, "", "gain of the shared part: -1 removes it", nullptr},
        {{"LowF", 400.0, 50.0, 150.0}, "Hz", "lower edge of the band worked on", nullptr},
        {{"Hi F", sampleRate / 2.0 - kHighEdgeMargin, 8000.0, 16000.0}, "Hz", "upper edge of the band worked on",
         nullptr},
    };
    return copyParameters(parameters, out);
}

int DeVocalStereo::describeParameters(ParamDescriptor* descriptors) {
    return describeFrom(parameterInfo, sampleRate(), descriptors);
}

void DeVocalStereo::setParameters(const double* values) {
    pan_ = values[0];
    vocal_ = values[1];
    lowFrequency_ = values[2];
    highFrequency_ = values[3];
}

int DeVocalStereo::presets(const PresetRecord** table) {
    *table = kDeVocalStereoPresets.records;
    return kDeVocalStereoPresets.count;
}

int DeVocalStereo::presetCount() { return kDeVocalStereoPresets.count; }

// Bins k = 1, 2, ... while 2k - 1 < N / 2.
int DeVocalStereo::lastBin() const {
    const int last = frameLength() / 2 / 2;
    return last < binCount_ - 2 ? last : binCount_ - 2;
}

void DeVocalStereo::processFrame(int /*channelMask*/) {
    // Adding the shared component times 0 gives the input back: skip the
    // transforms, which would only add their rounding.
    if (vocal_ == 0.0) return;
    double* left = framePlane(0);
    double* right = framePlane(1);
    transform_.forward(left);
    transform_.forward(right);
    separateBins(left, right);
    transform_.inverse(left);
    transform_.inverse(right);
}

// Per bin, with the weighted values A = (1 - p) L and B = (1 + p) R: the
// projection vector V = alpha A + beta B (alpha = c / |A|^2, beta = c / |B|^2,
// c the real cross term of A and B), and the shared component S = x V with x
// the smaller root of |V|^2 x^2 - ((A + B) . V) x + c = 0, which leaves A - S
// and B - S with no real cross term. Each channel gets v S back, unweighted.
// Bins whose quadratic has no two distinct roots, or whose V is too short,
// stay as they are.
void DeVocalStereo::separateBins(double* left, double* right) const {
    const double leftWeight = 1.0 - pan_;
    const double rightWeight = 1.0 + pan_;
    // v S / (1 - p) as S times one factor per frame.
    const double leftGain = vocal_ / leftWeight;
    const double rightGain = vocal_ / rightWeight;
    const int last = lastBin();
    for (int k = 1; k <= last; ++k) {
        double& leftRe = left[2 * k - 1];
        double& leftIm = left[2 * k];
        double& rightRe = right[2 * k - 1];
        double& rightIm = right[2 * k];
        const double ar = leftWeight * leftRe, ai = leftWeight * leftIm;
        const double br = rightWeight * rightRe, bi = rightWeight * rightIm;
        const double cross = ar * br + ai * bi;
        const double alpha = cross / (ar * ar + ai * ai + kTiny);
        const double beta = cross / (br * br + bi * bi + kTiny);
        const double vr = alpha * ar + beta * br;
        const double vi = alpha * ai + beta * bi;
        const double a2 = vr * vr + vi * vi;
        const double b1 = -((ar + br) * vr + (ai + bi) * vi);
        const double discriminant = b1 * b1 - 4.0 * a2 * cross;
        if (!(discriminant > 0.0 && a2 > kTiny)) continue;
        const double x = (-b1 - std::sqrt(discriminant)) / (2.0 * a2);
        const double sr = x * vr, si = x * vi;
        leftRe += leftGain * sr;
        leftIm += leftGain * si;
        rightRe += rightGain * sr;
        rightIm += rightGain * si;
    }
}
