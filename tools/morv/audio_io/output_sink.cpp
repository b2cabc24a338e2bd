#include "tools/morv/audio_io/output_sink.h"

#include <cmath>

#include "tools/morv/audio_io/audio_file_writer.h"

OutputSink::OutputSink(AudioFileWriter* writer, int channels) : writer_(writer), channels_(channels) {}

void OutputSink::write(const int32_t* interleaved, int frames, int64_t limit) {
    if (limit >= 0 && frames_ + frames > limit) frames = static_cast<int>(limit - frames_);
    if (frames <= 0) return;
    for (int64_t i = 0; i < static_cast<int64_t>(frames) * channels_; ++i) {
        const int32_t v = interleaved[i];
        const double magnitude = std::fabs(static_cast<double>(v));
        if (magnitude > peak_) peak_ = magnitude;
    }
    writer_->write(interleaved, frames);
    frames_ += frames;
}

double OutputSink::peakDbfs() const { return peak_ > 0 ? 20.0 * std::log10(peak_ / 2147483648.0) : -INFINITY; }
