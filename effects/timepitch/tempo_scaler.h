#pragma once

#include <vector>

#include "framework/effect_module.h"
#include "framework/parameter_info.h"
#include "framework/output_queue.h"
#include "framework/real_fft.h"

// "T/P-TempoScaler": changes the playing time by 2^"Tempo" without changing
// the pitch (synchronous overlap-add). Windowed frames of N sample frames are
// taken from the input every Ha frames and laid into the output every D
// frames; before each overlap-add the new frame is shifted by up to M frames
// to where it best matches the output's tail, the match found by a
// cross-correlation through the transform. Pending input waits in buffer A,
// output beyond the block's capacity in an OutputQueue (extraOutput).
// Every channel is processed whatever the mask: all keep one length.
class TempoScaler : public EffectModule {
public:
    TempoScaler(double sampleRate, int channels, double frameSeconds = 0.1, double hopFraction = 0.25,
                double stretch = 1.0, double searchSeconds = 0.05);

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;
    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    // The new input hop applies from the next frame; nothing is flushed.
    void setParameters(const double* values) override;
    int extraOutput() override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    double displayValue(int parameterIndex, double value) override;
    int reset() override;
    // D / Ha: output frames per input frame, about the stretch factor.
    double lengthRatio() override;
    // S - D: the first frame is emitted whole, and later frames carry the
    // input one hop on, so the steady output follows the input by S - D.
    int leadingFrames() override;

    int frameLength() const { return frameLength_; }
    int overlap() const { return overlap_; }
    int outputHop() const { return outputHop_; }
    int inputHop() const { return inputHop_; }
    int searchRange() const { return searchRange_; }
    int historyLength() const { return historyLength_; }
    // The last history frame a frame's segment may read, plus one, at the
    // longest input hop the "Tempo" range allows.
    int furthestReach() const;

private:
    void buildWindow();
    void appendInput(const double* in, int count);
    void firstFrame(const double* input);
    void laterFrame(const double* input);
    int bestLag();

    int channels_;
    int frameLength_;   // N
    int overlap_;       // S
    int outputHop_;     // D = N - S
    int searchRange_;   // M
    int historyLength_; // L
    double stretch_;
    int inputHop_;      // Ha
    int frameCounter_ = 0;
    int historyStart_ = 0;  // where the latest L frames begin in history_
    int pendingInput_ = 0;  // interleaved samples in buffer A
    OutputQueue pendingOutput_;
    RealFft transform_;  // 2 S C
    // Each in an allocation of its own, so that a read past one is caught by
    // the memory checkers rather than landing in the next.
    std::vector<double> history_;      // 4 L C, the latest L input frames from historyStart_
    std::vector<double> outputFrame_;  // N C, the overlap in the last S C
    std::vector<double> window_;       // N C, interleaved
    std::vector<double> correlationA_; // 2 S C
    std::vector<double> correlationB_; // 2 S C
};
