#pragma once

#include <cstdint>
#include <vector>

class Engine;

// Plays the player's part for a stream: hands blocks of integer PCM at the
// chosen width to the engine's pipeline in a host buffer with room for twice
// the block, exactly as the player does, and converts what comes back.
class StreamRenderer {
public:
    StreamRenderer(Engine& engine, int sampleRate, int channels, int bits, int blockFrames);

    // Runs frames (at most the block size) of interleaved 32-bit samples
    // (full scale 2^31) through the pipeline. Returns the frames produced,
    // available from output() in the same 32-bit scale.
    int run(const int32_t* input, int frames);
    const int32_t* output() const { return output_.data(); }

    int blockFrames() const { return blockFrames_; }
    // Seconds spent inside the pipeline.
    double processingSeconds() const { return processingSeconds_; }

private:
    Engine& engine_;
    int sampleRate_;
    int channels_;
    int bits_;
    int blockFrames_;
    double processingSeconds_ = 0.0;
    std::vector<unsigned char> hostBuffer_;
    std::vector<int32_t> output_;
};
