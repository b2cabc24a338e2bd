#pragma once

#include <cstdint>
#include <memory>

// Runs a host's blocks of any length through an engine that takes fixed
// blocks: the input is gathered into blocks of blockFrames, each block is
// processed as soon as it is whole, and the output is served from a queue
// primed with latencyFrames of silence, so that every call returns exactly
// as many frames as it was given and output frame j is the engine's output
// for input frame j - latencyFrames whatever the host's block sizes.
//
// Samples cross on the 24-bit integer scale: a float x goes in as x * 2^23
// and comes out as y / 2^23, both exact scalings by a power of two; nothing
// is clamped.
//
// configure allocates; reset and run do not.
class BlockRunner {
public:
    // Processes `samples` interleaved doubles in place; returns how many it
    // wrote (fewer, 0 included, while the engine still fills its frames).
    using Process = int (*)(void* context, double* samples, int count);

    void configure(int channels, int blockFrames, int latencyFrames);
    // Empties both queues and primes the output with latencyFrames of silence.
    void reset();
    // frames frames from in[c] to out[c] (in and out may be the same buffers).
    void run(const float* const* in, float* const* out, int frames, Process process, void* context);

    int latencyFrames() const { return latency_; }
    int blockFrames() const { return block_; }
    // Frames of silence the output has taken in so far because the engine
    // delivered later than the latency allows (DeNoise after a snap drops the
    // overlap it held): the queue then pads, and the alignment holds.
    int64_t paddedFrames() const { return padded_; }

private:
    void push(const double* samples, int count);
    // Writes count frames from the queue (silence for any it lacks) at frame
    // offset `at` of the outputs.
    void pop(float* const* out, int at, int count);

    int channels_ = 0;
    int block_ = 0;
    int latency_ = 0;
    std::unique_ptr<double[]> input_;   // one block, interleaved, scaled
    int inputFrames_ = 0;
    std::unique_ptr<double[]> queue_;   // ring of interleaved frames
    int queueCapacity_ = 0;             // frames
    int queueStart_ = 0;
    int queueFrames_ = 0;
    int64_t padded_ = 0;
};

// The frames of delay a BlockRunner with blocks of blockFrames must add so
// that a module never leaves the output queue empty: the module of index is
// built on its own for (rate, channels) and fed silence in such blocks until
// its delivery has settled (a frame-and-hop module holds back up to a frame,
// a planar one nothing). Allocates and takes a few milliseconds.
int measureLatency(int moduleIndex, int rate, int channels, int blockFrames);
