#pragma once

#include <cstdint>
#include <vector>

class OutputSink;

// The end of a render: hands the output to the sink up to the end that lines
// up with the input's, then up to a tail's limit more frames. A tail rendered
// "until silent" ends with its last sounding frame: frames past the aligned
// end whose every sample is 0 at the processing width (the module's sound
// has decayed below the least significant bit) are held back and written
// only when sound follows them.
class TailGate {
public:
    TailGate(OutputSink& sink, int channels);

    // Once the input has ended: the aligned end in frames, the most frames
    // past it, and whether trailing silence is left out.
    void close(int64_t alignedEnd, int64_t tailLimit, bool untilSilent);
    // Takes count interleaved frames (32-bit scale); before close, all of them.
    void write(const int32_t* frames, int count);
    // Frames taken: written, and held back as silence.
    int64_t taken() const;
    // Closed, and every frame up to the tail's limit taken.
    bool full() const { return closed_ && taken() >= alignedEnd_ + tailLimit_; }
    // Frames written past the aligned end.
    int64_t tailFrames() const;

private:
    void writeHeldSilence();

    OutputSink& sink_;
    int channels_;
    bool closed_ = false;
    bool untilSilent_ = false;
    int64_t alignedEnd_ = -1;
    int64_t tailLimit_ = 0;
    int64_t heldSilence_ = 0;  // silent frames taken past the aligned end, not yet written
    std::vector<int32_t> silence_;
};
