#pragma once

#include <cstdint>

class AudioFileWriter;

// The end of the render: counts the frames written and measures the peak.
class OutputSink {
public:
    OutputSink(AudioFileWriter* writer, int channels);

    // Writes up to frames frames of interleaved 32-bit samples, none past
    // limit when limit is not negative.
    void write(const int32_t* interleaved, int frames, int64_t limit);

    int64_t frames() const { return frames_; }
    // Peak in dB relative to full scale; -infinity for silence.
    double peakDbfs() const;

private:
    AudioFileWriter* writer_;
    int channels_;
    int64_t frames_ = 0;
    double peak_ = 0.0;
};
