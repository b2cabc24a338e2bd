#pragma once

#include <memory>

#include "framework/effect_module.h"

// How a processed frame goes back into the output stream.
enum FrameMode {
    kFrameOverlapAdd = 1,  // Blackman-Harris analysis and synthesis window, overlap-add
    kFrameReplace = 2,     // no window; each frame replaces the accumulator
};

// Base of the frame-and-hop effects. Input of any block size is queued, cut
// into frames of N samples per channel advancing by hop, handed to
// processFrame() as one plane per channel, and served back in whole blocks,
// sample-aligned with the input (output sample p is processed input sample p).
// A pending redesign is installed once per process, before its first frame.
class BlockEffect : public EffectModule {
public:
    BlockEffect(double sampleRate, double frameDuration, double hopFraction, int channels, int capacity,
                int frameMode);
    ~BlockEffect() override;

    int process(const double* in, double* out, int inCount, int outCapacity, int channelMask) override;
    int reset() override;

    // Works on channel c's N samples at framePlane(c), in place.
    virtual void processFrame(int channelMask);
    virtual int inputStep();
    virtual int outputStep();

    int frameLength() const { return frameLength_; }
    int hop() const { return hop_; }
    int overlap() const { return overlap_; }
    int channelCount() const { return channels_; }
    double sampleRate() const { return sampleRate_; }
    int frameCounter() const { return frameCounter_; }
    // Restarting the count makes the next overlap / hop frames emit nothing.
    void setFrameCounter(int value) { frameCounter_ = value; }

protected:
    double* framePlane(int channel) { return planes_ + channel * frameLength_; }
    // Interleaved C x N accumulator; in kFrameReplace mode processFrame may use
    // it as scratch (it is overwritten after processFrame returns).
    double* accumulator() { return accumulator_; }
    const double* window() const { return window_; }

private:
    void runFrame(const double* input, int channelMask);
    void emit(int channelMask);

    double sampleRate_;
    int frameLength_;
    int channels_;
    int hop_;
    int overlap_;
    int frameCounter_ = 0;
    std::unique_ptr<double[]> frameStorage_;
    double* history_ = nullptr;  // room for two frames; the current one starts at historyStart_
    double* accumulator_ = nullptr;
    double* planes_ = nullptr;
    double* window_ = nullptr;
    int historyStart_ = 0;
    int frameMode_;
    int pendingInput_ = 0;
    int pendingOutput_ = 0;
};
