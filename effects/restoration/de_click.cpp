#include "effects/restoration/de_click.h"

#include <algorithm>
#include <cstring>

#include "effects/restoration/click_fill.h"
#include "effects/restoration/pitch_period.h"

namespace {

constexpr double kFrameDuration = 0.025;
constexpr double kHopFraction = 0.85;
constexpr int kQueueCapacity = 5000;

// Longest click the interpolator must take. A quarter of the frame covers the
// click limit from 32000 Hz up; below that the limit itself sets the size, so
// that every accepted click is refined.
int interpolatorSize(int frameLength) { return std::max(frameLength / 4, DeClick::kMaxClickLength); }

}  // namespace

DeClick::DeClick(double sampleRate, int channels)
    : BlockEffect(sampleRate, kFrameDuration, kHopFraction, channels, kQueueCapacity, kFrameReplace),
      detector_(frameLength(), kModelOrder, kMaxClickLength),
      burgWork_(frameLength()),
      coefficients_(kModelOrder + 1, 0.0),
      interpolator_(interpolatorSize(frameLength()), kModelOrder),
      periodicFill_(frameLength(), 0) {}

int DeClick::describeParameters(ParamDescriptor* descriptors) {
    descriptors[0] = ParamDescriptor{"Thresh", 20.0, 3.0, 8.0};
    return 1;
}

void DeClick::setParameters(const double* values) { thresh_ = values[0]; }

void DeClick::processFrame(int channelMask) {
    const int n = frameLength();
    for (int c = 0; c < channelCount(); ++c) {
        if (!channelSelected(c, channelMask)) continue;
        // The frame replaces the accumulator afterwards, so channel c's N
        // values of it hold the unrepaired copy meanwhile.
        double* y = accumulator() + static_cast<size_t>(c) * n;
        repairChannel(framePlane(c), y);
    }
}

void DeClick::repairChannel(double* x, double* y) {
    const int n = frameLength();
    std::memcpy(y, x, sizeof(double) * n);
    // An early stop keeps the model found so far, which still whitens the
    // frame as far as it goes.
    BurgModel(x, n, kModelOrder, coefficients_.data(), burgWork_);
    const int clicks = detector_.detect(x, coefficients_.data(), thresh_);
    detectedClicks_ += clicks;
    if (clicks == 0) return;

    const int period = pitchPeriod(y, n, sampleRate());
    for (int i = 0; i < clicks; ++i)
        periodicFill_[i] = fillClick(x, y, n, detector_.clickStart(i), detector_.clickEnd(i), period);
    for (int i = 0; i < clicks; ++i) {
        // Autoregressive interpolation from order samples on either side
        // decays toward zero across a gap longer than the order; there a
        // pitch-synchronous fill is the better estimate and is kept.
        const int length = detector_.clickEnd(i) - detector_.clickStart(i) + 1;
        if (periodicFill_[i] && length > kModelOrder) continue;
        refineClick(x, detector_.clickStart(i), detector_.clickEnd(i));
    }
}

// Re-estimates the click from an order-50 model of its context (50 samples on
// either side plus the current fill); stops when the model is incomplete,
// does not predict the context well, or gives an unsolvable system.
void DeClick::refineClick(double* x, int start, int end) {
    const int contextLength = end - start + 1 + 2 * kModelOrder;
    for (int pass = 0; pass < kRefinementPasses; ++pass) {
        const BurgResult model =
            BurgModel(x + start - kModelOrder, contextLength, kModelOrder, coefficients_.data(), burgWork_);
        if (!model.complete || model.error > kModelAcceptance) return;
        if (!interpolator_.interpolate(x, start, end, coefficients_.data())) return;
    }
}
