#pragma once

#include <cstdint>
#include <vector>

class AudioFileWriter;

// The end of the render: hands the frames to the writer (which gathers them
// into large writes), counts them and measures the peak.
class OutputSink {
public:
    OutputSink(AudioFileWriter* writer, int channels);

    // Takes up to frames frames of interleaved 32-bit samples, none past
    // limit when limit is not negative.
    void write(const int32_t* interleaved, int frames, int64_t limit);
    // Hands what is gathered to the writer; call before committing it.
    void flush();

    int64_t frames() const { return frames_; }
    // Peak in dB relative to full scale; -infinity for silence.
    double peakDbfs() const;

private:
    AudioFileWriter* writer_;
    int channels_;
    int64_t frames_ = 0;
    int64_t peak_ = 0;
};
