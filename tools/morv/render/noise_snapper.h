#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Engine;

// Presses DeNoise's "Snap Noise" at chosen input frames and keeps the output
// aligned with the input. The snap restarts the module's frame count, and with
// it the start-up rule that emits nothing for the first frames, so the
// module's output skips the overlap still held for the frames before the snap
// (840 frames at 44100 Hz): in the player the rest of the stream comes that
// much earlier. A file keeps its alignment and its length: the skipped frames
// are put back as a gap, silent on the processed channels (they fall into the
// relearning silence) and the untouched input on the others.
class NoiseSnapper {
public:
    // frames: the input frames to snap at, ascending.
    NoiseSnapper(Engine& engine, std::vector<int64_t> frames, int channels);

    // Before the block of input frames [start, start + count) goes in: snaps
    // at the points in it, then remembers the block for the gaps to come.
    void beforeBlock(const int32_t* block, int64_t start, int count);

    // Output frame at which the next gap goes, or -1 when there is none.
    int64_t nextGapFrame() const;
    // The frames of the next gap (interleaved), removed from the list.
    std::vector<int32_t> takeGap();
    // False while a point lies beyond the input read so far.
    bool allSnapped() const { return next_ == frames_.size(); }

private:
    void snapAt();

    struct Gap {
        int64_t frame;
        std::vector<int32_t> samples;
    };

    Engine& engine_;
    std::vector<int64_t> frames_;
    size_t next_ = 0;
    int channels_;
    int64_t inputFrames_ = 0;       // input frames handed over so far
    int64_t earlierFrameRuns_ = 0;  // module frames run before the last snap
    std::vector<int32_t> recent_;   // the last frames of input, at most one module frame
    int64_t recentFrames_ = 0;      // how many frames recent_ may hold
    std::vector<Gap> gaps_;
};
