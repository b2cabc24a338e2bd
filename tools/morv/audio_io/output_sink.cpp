#include "tools/morv/audio_io/output_sink.h"

#include <algorithm>
#include <cmath>

#include "tools/morv/audio_io/audio_file_writer.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

OutputSink::OutputSink(AudioFileWriter* writer, int channels) : writer_(writer), channels_(channels) {}

void OutputSink::write(const int32_t* interleaved, int frames, int64_t limit) {
    if (limit >= 0 && frames_ + frames > limit) frames = static_cast<int>(limit - frames_);
    if (frames <= 0) return;
    const size_t count = static_cast<size_t>(frames) * channels_;
    // The extremes apart, four lanes at a time, then the peak.
    int32_t highest = 0, lowest = 0;
    size_t i = 0;
#if defined(__SSE2__)
    if (count >= 4) {
        __m128i high = _mm_setzero_si128(), low = _mm_setzero_si128();
        for (; i + 4 <= count; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(interleaved + i));
            const __m128i above = _mm_cmpgt_epi32(v, high), below = _mm_cmpgt_epi32(low, v);
            high = _mm_or_si128(_mm_and_si128(above, v), _mm_andnot_si128(above, high));
            low = _mm_or_si128(_mm_and_si128(below, v), _mm_andnot_si128(below, low));
        }
        int32_t highs[4], lows[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(highs), high);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lows), low);
        for (int k = 0; k < 4; ++k) {
            highest = highs[k] > highest ? highs[k] : highest;
            lowest = lows[k] < lowest ? lows[k] : lowest;
        }
    }
#endif
    for (; i < count; ++i) {
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
