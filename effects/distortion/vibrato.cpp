#include "effects/distortion/vibrato.h"

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstring>

#include "framework/portable_math.h"

namespace {

using portable::kPi;
constexpr double kMicrosecondsPerSecond = 1000000.0;

// The depth slider is the base-10 logarithm of seconds; it shows microseconds.
double shownDelay(double value) { return std::pow(10.0, value) * kMicrosecondsPerSecond; }
double delayLogOf(double microseconds) { return std::log10(microseconds / kMicrosecondsPerSecond); }

const ParameterInfo kParameters[] = {
    {{"VibF", Vibrato::kMaxFrequency, Vibrato::kMinFrequency, Vibrato::kDefaultFrequency}, "Hz", "vibrato frequency",
     nullptr},
    {{"Delay", Vibrato::kMaxDelayLog, Vibrato::kMinDelayLog, Vibrato::kDefaultDelayLog}, "\xC2\xB5s",
     "depth 10^Delay s (the delay swings from 0 to twice the depth)", shownDelay, delayLogOf},
};

}  // namespace

Vibrato::Vibrato(double sampleRate, int channels, double vibratoFrequency, double depthSeconds)
    : PlanarEffect(channels, kModuleCapacity),
      sampleRate_(sampleRate),
      vibratoFrequency_(vibratoFrequency),
      depthSeconds_(depthSeconds),
      requestedFrequency_(vibratoFrequency),
      requestedDepth_(depthSeconds) {
    setup(vibratoFrequency_, depthSeconds_, staged_);
    adopt(staged_);
    // The staging slot gets storage of the same size, so that a rebuild no
    // larger than this one allocates nothing.
    setup(vibratoFrequency_, depthSeconds_, staged_);
}

int Vibrato::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int Vibrato::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

// Values outside the slider ranges are clamped to them: a frequency of 0 or a
// depth of seconds would otherwise divide by zero or size the lines beyond memory.
void Vibrato::setParameters(const double* values) {
    vibratoFrequency_ = std::clamp(values[0], kMinFrequency, kMaxFrequency);
    depthSeconds_ = std::pow(10.0, std::clamp(values[1], kMinDelayLog, kMaxDelayLog));
    requestRedesign();
}

double Vibrato::displayValue(int parameterIndex, double value) {
    if (parameterIndex < 0 || parameterIndex >= static_cast<int>(std::size(kParameters))) return value;
    return shownValue(kParameters[parameterIndex], value);
}

int Vibrato::reset() {
    std::fill(storage_.begin() + tableLength_, storage_.end(), 0.0);
    phase_ = 0;
    return 0;
}

// Table of one full period of the delay in samples, end point included, with
// values between 1 and 2D + 1; history lines of 2D + 2 samples, silent.
// The storage keeps its capacity, so a rebuild to a smaller size allocates nothing.
void Vibrato::setup(double vibratoFrequency, double depthSeconds, Design& design) const {
    design.depthSamples = static_cast<int>(depthSeconds * sampleRate_);
    design.historyLength = 2 * design.depthSamples + 2;
    // Two entries at least: below the vibrato frequency (a stream of a few
    // samples a second) one entry would make the step 2 pi / 0.
    design.tableLength = std::max(2, static_cast<int>(sampleRate_ / vibratoFrequency) + 1);
    design.storage.assign(
        static_cast<size_t>(design.tableLength) + static_cast<size_t>(channels_) * design.historyLength, 0.0);
    const double depth = design.depthSamples;
    const double step = 2.0 * kPi / (design.tableLength - 1);
    for (int i = 0; i < design.tableLength; ++i) design.storage[i] = depth * std::sin(i * step) + (depth + 1.0);
}

// The storage in force goes to the staging slot, to be reused by the next build.
void Vibrato::adopt(Design& design) {
    storage_.swap(design.storage);
    tableLength_ = design.tableLength;
    depthSamples_ = design.depthSamples;
    historyLength_ = design.historyLength;
    phase_ = 0;
}

void Vibrato::captureDesignRequest() {
    requestedFrequency_ = vibratoFrequency_;
    requestedDepth_ = depthSeconds_;
}

void Vibrato::buildDesign() { setup(requestedFrequency_, requestedDepth_, staged_); }

void Vibrato::swapDesign() { adopt(staged_); }

void Vibrato::processPlanes(int channelMask) {
    const int frames = inputFrames();
    for (int c = 0; c < channels_; ++c) {
        const double* in = inputPlane(c);
        double* out = outputPlane(c);
        if (!channelSelected(c, channelMask)) {
            std::copy(in, in + frames, out);
            continue;
        }
        readThroughLine(in, out, historyLine(c), frames);
        updateHistory(in, historyLine(c), frames);
    }
    if (tableLength_ > 0) phase_ = static_cast<int>((static_cast<long long>(phase_) + frames) % tableLength_);
}

// output[i] = f * x[i - di] + (1 - f) * x[i - di + 1], with d = di + f the
// table's delay; x[j] for j < 0 is history element -j - 1.
void Vibrato::readThroughLine(const double* in, double* out, const double* line, int frames) const {
    const double* table = storage_.data();
    int position = phase_;
    for (int i = 0; i < frames; ++i) {
        const double d = table[position];
        if (++position == tableLength_) position = 0;
        const int di = static_cast<int>(d);
        const double f = d - di;
        const int older = i - di;
        const double x0 = older >= 0 ? in[older] : line[-older - 1];
        const double x1 = older + 1 >= 0 ? in[older + 1] : line[-older - 2];
        out[i] = f * x0 + (1.0 - f) * x1;
    }
}

// Keeps the latest L input samples, newest first.
void Vibrato::updateHistory(const double* in, double* line, int frames) const {
    const int length = historyLength_;
    if (frames < length) {
        std::memmove(line + frames, line, sizeof(double) * (length - frames));
        for (int k = 0; k < frames; ++k) line[k] = in[frames - 1 - k];
    } else {
        for (int k = 0; k < length; ++k) line[k] = in[frames - 1 - k];
    }
}
