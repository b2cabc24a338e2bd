#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/morv/effect_session.h"

// One file through one module, as the player would play it.
struct RenderJob {
    std::string input;
    std::string output;
    EffectChoice choice;
    int blockFrames = 576;
    int bits = 16;
    bool progress = false;  // draw a progress bar on standard error
};

struct RenderSummary {
    int64_t framesIn = 0;
    int64_t framesOut = 0;
    int sampleRate = 0;
    int channels = 0;
    std::string module;
    std::string preset;
    double peakDbfs = -INFINITY;
    double processingSeconds = 0.0;
    double realtimeFactor = 0.0;  // seconds of audio per second of processing
};

// The most channels the pipeline's channel selection serves (left and right).
constexpr int kMaxRenderChannels = 2;

// Called before each block with the input frame position of the block; lets a
// caller act on the running module at a point of the input.
using BlockHook = std::function<void(int64_t inputFrame, int blockFrames)>;

// Runs the job. Throws UsageError or FileError; the output file appears only
// when the whole stream has been written.
RenderSummary renderFile(const RenderJob& job, const BlockHook& hook = nullptr);
