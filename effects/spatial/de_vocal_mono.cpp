#include "effects/spatial/de_vocal_mono.h"

#include <algorithm>
#include <cmath>

#include "effects/spatial/spatial_presets.h"

namespace {

constexpr double kFrameDuration = 0.03;
constexpr double kHopFraction = 0.25;
constexpr int kQueueCapacity = 5000;
// Band edges become bin numbers through the frame duration, not through the
// transform length and the sample rate.
constexpr double kSecondsPerBin = kFrameDuration;
constexpr double kInnerTaper = 0.5;
constexpr double kOuterTaper = 0.001;

// floor(frequency x 0.03) as an int, held a few bins beyond the spectrum so
// that any stored value converts safely (the entries past it are dropped).
int edgeBin(double frequency, int binCount) {
    const double bin = std::floor(frequency * kSecondsPerBin);
    if (!(bin >= -4.0)) return -4;
    if (bin > binCount + 4.0) return binCount + 4;
    return static_cast<int>(bin);
}

}  // namespace

DeVocalMono::DeVocalMono(double sampleRate, int streamChannels)
    : ChannelPairEffect(sampleRate, kFrameDuration, kHopFraction, streamChannels, kQueueCapacity),
      transform_(frameLength()),
      binCount_(frameLength() / 2 + 1),
      bandMask_(frameLength(), 0.0),
      sum_(frameLength(), 0.0) {
    staged_.weights.assign(frameLength(), 0.0);
    designMask(lowFrequency_, highFrequency_, staged_);
    swapDesign();
}

namespace {

const ParameterInfo kParameters[] = {
    {{"LowF", 500.0, 50.0, 200.0}, "Hz", "lower edge of the band worked on", nullptr},
    {{"Hi F", 16000.0, 4000.0, 10000.0}, "Hz", "upper edge of the band worked on", nullptr},
    {{"Pann", 1.0, -1.0, 0.0}, "", "pan position of the source, -1 left to 1 right", nullptr},
};

}  // namespace

int DeVocalMono::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int DeVocalMono::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void DeVocalMono::setParameters(const double* values) {
    lowFrequency_ = values[0];
    highFrequency_ = values[1];
    pan_ = values[2];
    requestRedesign();
}

int DeVocalMono::presets(const PresetRecord** table) {
    *table = kDeVocalMonoPresets.records;
    return kDeVocalMonoPresets.count;
}

int DeVocalMono::presetCount() { return kDeVocalMonoPresets.count; }

void DeVocalMono::captureDesignRequest() {
    requestedLow_ = lowFrequency_;
    requestedHigh_ = highFrequency_;
}

void DeVocalMono::buildDesign() { designMask(requestedLow_, requestedHigh_, staged_); }

// The mask in force goes to the staging slot, to be overwritten by the next build.
void DeVocalMono::swapDesign() {
    bandMask_.swap(staged_.weights);
    firstEntry_ = staged_.firstEntry;
    lastEntry_ = staged_.lastEntry;
}

// Bin k owns the packed entries 2k - 1 and 2k; entries outside the spectrum
// (before bin 0's real part, past bin N/2's) are dropped, so a taper that
// reaches past either end is cut there and the band keeps its edges.
void DeVocalMono::designMask(double lowFrequency, double highFrequency, BandMask& mask) const {
    std::vector<double>& weights = mask.weights;
    const int n = frameLength();
    const auto setBin = [&](int bin, double weight) {
        for (int j = 2 * bin - 1; j <= 2 * bin; ++j)
            if (j >= 0 && j < n) weights[j] = weight;
    };
    const int lo = edgeBin(lowFrequency, binCount_);
    const int hi = edgeBin(highFrequency, binCount_);
    std::fill(weights.begin(), weights.end(), 0.0);
    setBin(lo - 3, kOuterTaper);
    setBin(lo - 2, kInnerTaper);
    for (int k = lo - 1; k <= hi - 1; ++k) setBin(k, 1.0);
    setBin(hi, kInnerTaper);
    setBin(hi + 1, kOuterTaper);
    const auto nonZero = [](double w) { return w != 0.0; };
    const auto first = std::find_if(weights.begin(), weights.end(), nonZero);
    const auto last = std::find_if(weights.rbegin(), weights.rend(), nonZero);
    mask.firstEntry = static_cast<int>(first - weights.begin());
    mask.lastEntry = static_cast<int>(weights.rend() - last) - 1;
}

// With the mask M = G / 2 and its complement Q = 1 - G, the outputs
// L' = Q L + M D and R' = Q R - M D of D = (1 + p) L - (1 - p) R reduce to
//   L' = L - (1 - p) / 2 * G (L + R),   R' = R - (1 + p) / 2 * G (L + R),
// so one transform of the sum, band-limited by G and brought back, does the
// work of transforming L, R and D and bringing back L and R. Outside the band
// G is 0 and both channels keep their exact samples.
void DeVocalMono::processFrame(int /*channelMask*/) {
    if (firstEntry_ > lastEntry_) return;
    const int n = frameLength();
    double* left = framePlane(0);
    double* right = framePlane(1);
    double* sum = sum_.data();
    for (int i = 0; i < n; ++i) sum[i] = left[i] + right[i];
    transform_.forward(sum);
    std::fill(sum, sum + firstEntry_, 0.0);
    for (int j = firstEntry_; j <= lastEntry_; ++j) sum[j] *= bandMask_[j];
    std::fill(sum + lastEntry_ + 1, sum + n, 0.0);
    transform_.inverse(sum);
    const double leftShare = 0.5 * (1.0 - pan_);
    const double rightShare = 0.5 * (1.0 + pan_);
    for (int i = 0; i < n; ++i) {
        left[i] -= leftShare * sum[i];
        right[i] -= rightShare * sum[i];
    }
}
