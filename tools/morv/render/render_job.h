#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/morv/render/effect_session.h"

// One file through one module, as the player would play it.
struct RenderJob {
    std::string input;   // "-" for standard input
    std::string output;  // "-" for standard output
    std::string type;    // "wav" or "flac"; empty: from the output's extension, else the input's
    EffectChoice choice;
    int blockFrames = 576;
    int bits = 0;        // 16, 24 or 32; 0 follows the input
    double inputGainDecibels = 0.0;  // applied as the input is read, before the pipeline
    bool progress = false;  // draw a progress bar on standard error
    std::vector<double> snapSeconds;  // DeNoise only: restart the noise capture there
    // --tail: seconds rendered past the input's end; negative: the module's
    // own tail (a module with a tail rings until silent, the others add none).
    double tailSeconds = -1.0;
};

struct RenderSummary {
    std::string input;
    std::string output;
    int64_t framesIn = 0;
    int64_t framesOut = 0;
    int64_t leadingFramesDropped = 0;  // delivered ahead of the aligned output (a tempo change)
    double lengthFactor = 1.0;    // output frames per input frame, as the module delivers them
    int64_t framesExpected = -1;  // what the input declares; -1 when it does not say
    std::string damage;           // empty for a whole input
    int sampleRate = 0;
    int channels = 0;             // of the output (and of the stream through the pipeline)
    int inputChannels = 0;        // of the input: one less for a mono file given two ears
    int64_t tailFrames = 0;       // frames rendered past the aligned end (a tail)
    uint32_t seed = 0;            // the seed in place of the clock's second
    int moduleIndex = 0;
    std::string module;           // name without marker
    std::string marker;
    std::string preset;
    double gainDecibels = 0.0;
    std::vector<std::pair<std::string, double>> parameters;
    int bits = 16;                // processing width
    std::string outputFormat;     // "WAV 16-bit", "WAV float", "FLAC 24-bit"
    double peakDbfs = -INFINITY;
    int64_t clippedSamples = 0;   // samples the pipeline's clamp changed
    double inputGainDecibels = 0.0;
    int64_t inputClippedSamples = 0;  // held within full scale as the input was read
    double inputPeakDbfs = -INFINITY; // the input's peak after the gain, where it was measured
    double wallSeconds = 0.0;
    double processingSeconds = 0.0;
    double realtimeFactor = 0.0;            // seconds of audio per second of the whole run
    double processingRealtimeFactor = 0.0;  // seconds of audio per second inside the pipeline
};

// The longest --tail.
constexpr double kMaxTailSeconds = 3600.0;

// Runs the job. Throws UsageError or FileError; an output file appears only
// when the whole stream has been written.
RenderSummary renderFile(const RenderJob& job);
