#pragma once

#include <vector>

#include "framework/planar_effect.h"
#include "framework/parameter_info.h"

// Pitch vibrato made with a modulated delay line: every selected channel is
// read back through a delay that swings sinusoidally between 0 and 2D samples.
// Parameters: "VibF", the vibrato frequency in Hz, and "Delay", the decimal
// logarithm of the depth in seconds.
class Vibrato : public PlanarEffect {
public:
    Vibrato(double sampleRate, int channels, double vibratoFrequency = kDefaultFrequency,
            double depthSeconds = kDefaultDepth);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    // Stores the values; the table and lines are rebuilt at the next process.
    void setParameters(const double* values) override;
    // "Delay" is shown as the depth in microseconds.
    double displayValue(int parameterIndex, double value) override;
    // Silences the history lines and restarts the phase; buffers A and B stay.
    int reset() override;
    void processPlanes(int channelMask) override;

    int depthSamples() const { return depthSamples_; }
    int historyLength() const { return historyLength_; }
    int tableLength() const { return tableLength_; }
    int phase() const { return phase_; }
    // Channel c's history line, newest sample first.
    const double* history(int channel) const { return storage_.data() + tableLength_ + channel * historyLength_; }

    static constexpr double kDefaultFrequency = 8.0;
    static constexpr double kDefaultDepth = 0.001;
    static constexpr double kMinFrequency = 0.5, kMaxFrequency = 20.0;
    static constexpr double kMinDelayLog = -5.0, kMaxDelayLog = -1.0, kDefaultDelayLog = -3.0;

protected:
    void captureDesignRequest() override;
    // Builds the staged table and silent lines for the requested values.
    void buildDesign() override;
    // The new table starts from its beginning.
    void swapDesign() override;

private:
    // A delay table and the history lines that go with it.
    struct Design {
        std::vector<double> storage;  // the delay table, then one history line per channel
        int tableLength = 0;
        int depthSamples = 0;
        int historyLength = 0;
    };

    void setup(double vibratoFrequency, double depthSeconds, Design& design) const;
    void adopt(Design& design);
    void readThroughLine(const double* in, double* out, const double* line, int frames) const;
    void updateHistory(const double* in, double* line, int frames) const;
    double* historyLine(int channel) { return storage_.data() + tableLength_ + channel * historyLength_; }

    double sampleRate_;
    double vibratoFrequency_;
    double depthSeconds_;
    double requestedFrequency_;
    double requestedDepth_;
    Design staged_;
    std::vector<double> storage_;  // the delay table, then one history line per channel
    int tableLength_ = 0;
    int depthSamples_ = 0;
    int historyLength_ = 0;
    int phase_ = 0;
};
