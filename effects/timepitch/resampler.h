#pragma once

#include <vector>

#include "effects/timepitch/resample_converter.h"
#include "framework/effect_module.h"
#include "framework/parameter_info.h"
#include "framework/output_queue.h"

// "T/P-Resampler": a varispeed. Every channel goes through its own
// band-limited converter at factor 2^"Ratio" (output samples per input
// sample) and comes back at the stream's rate, so the music plays slower and
// lower above 1, faster and higher below. Input the converters have not taken
// waits in one single-precision plane per channel, converted once as it
// arrives (a converter may leave thousands of frames for later calls); output
// beyond the block's capacity waits in an OutputQueue and is reported by
// extraOutput. Every channel is converted whatever the mask: all channels
// must keep one length.
class Resampler : public EffectModule {
public:
    explicit Resampler(int channels);

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;
    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    int extraOutput() override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    double displayValue(int parameterIndex, double value) override;
    // Drops the pending input and output and reopens the converters, which
    // empties their history too.
    int reset() override;
    double lengthRatio() override { return factor_; }

    double factor() const { return factor_; }

protected:
    // A new factor brings new converters: they are opened in the staging slot
    // and swapped in, the audio inside the old ones is dropped, the pending
    // input and output are kept. The same factor again (a preset or a rebuild
    // handing over the value in force) leaves them be: reopening would drop
    // audio and rebuild the filter tables for nothing.
    void captureDesignRequest() override;
    void buildDesign() override;
    void swapDesign() override;

private:
    void appendInput(const double* in, int frames);
    void consumeInput(int frames);
    // The filter is designed once; the other channels copy the fresh converter.
    static void openConverters(std::vector<ResampleConverter>& converters, double factor);

    int channels_;
    double factor_ = 1.0;
    double openFactor_ = 1.0;                    // the factor the converters were opened for
    std::vector<ResampleConverter> converters_;  // one per channel, however many
    double requestedFactor_ = 1.0;
    bool stagedChange_ = false;  // whether the staged converters differ from those in force
    std::vector<ResampleConverter> stagedConverters_;
    // Pending input: channel c's frames at c * planeCapacity_ + inputStart_,
    // inputFrames_ of them.
    std::vector<float> inputPlanes_;
    int planeCapacity_ = 0;
    int inputStart_ = 0;
    int inputFrames_ = 0;
    std::vector<float> outputPlanes_;
    std::vector<float*> planePointers_;  // one per channel: where the planes start this block
    OutputQueue pendingOutput_;
};
