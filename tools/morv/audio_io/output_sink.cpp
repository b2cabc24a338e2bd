#include "tools/morv/audio_io/output_sink.h"

#include <algorithm>
#include <cmath>

#include "tools/morv/audio_io/audio_file_writer.h"

OutputSink::OutputSink(AudioFileWriter* writer, int channels) : writer_(writer), channels_(channels) {}

void OutputSink::write(const int32_t* interleaved, int frames, int64_t limit) {
    if (limit >= 0 && frames_ + frames > limit) frames = static_cast<int>(limit - frames_);
    if (frames <= 0) return;
    const size_t count = static_cast<size_t>(frames) * channels_;
    // The extremes apart (a loop the compiler vectorises), then the peak.
    int32_t highest = 0, lowest = 0;
    for (size_t i = 0; i < count; ++i) {
        highest = interleaved[i] > highest ? interleaved[i] : highest;
        lowest = interleaved[i] < lowest ? interleaved[i] : lowest;
    }
    peak_ = std::max({peak_, static_cast<int64_t>(highest), -static_cast<int64_t>(lowest)});
    writer_->write(interleaved, frames);
    frames_ += frames;
}

void OutputSink::flush() { writer_->flush(); }

double OutputSink::peakDbfs() const {
    return peak_ > 0 ? 20.0 * std::log10(static_cast<double>(peak_) / 2147483648.0) : -INFINITY;
}
