#include "tools/morv/render/tail_gate.h"

#include <algorithm>

#include "tools/morv/audio_io/output_sink.h"

namespace {

constexpr int kSilenceFrames = 4096;

bool silentFrame(const int32_t* frame, int channels) {
    for (int c = 0; c < channels; ++c) {
        if (frame[c] != 0) return false;
    }
    return true;
}

}  // namespace

TailGate::TailGate(OutputSink& sink, int channels) : sink_(sink), channels_(channels) {}

void TailGate::close(int64_t alignedEnd, int64_t tailLimit, bool untilSilent) {
    closed_ = true;
    alignedEnd_ = alignedEnd;
    tailLimit_ = std::max<int64_t>(tailLimit, 0);
    untilSilent_ = untilSilent;
}

int64_t TailGate::taken() const { return sink_.frames() + heldSilence_; }

int64_t TailGate::tailFrames() const { return std::max<int64_t>(sink_.frames() - std::max<int64_t>(alignedEnd_, 0), 0); }

void TailGate::writeHeldSilence() {
    if (silence_.empty()) silence_.assign(static_cast<size_t>(kSilenceFrames) * channels_, 0);
    while (heldSilence_ > 0) {
        const int count = static_cast<int>(std::min<int64_t>(heldSilence_, kSilenceFrames));
        sink_.write(silence_.data(), count, -1);
        heldSilence_ -= count;
    }
}

void TailGate::write(const int32_t* frames, int count) {
    if (!closed_) {
        sink_.write(frames, count, -1);
        return;
    }
    const int64_t limit = alignedEnd_ + tailLimit_;
    // Up to the aligned end every frame goes out as it is.
    if (taken() < alignedEnd_) {
        const int aligned = static_cast<int>(std::min<int64_t>(count, alignedEnd_ - taken()));
        sink_.write(frames, aligned, -1);
        frames += static_cast<size_t>(aligned) * channels_;
        count -= aligned;
    }
    count = static_cast<int>(std::min<int64_t>(count, limit - taken()));
    if (count <= 0) return;
    if (!untilSilent_) {
        sink_.write(frames, count, -1);
        return;
    }
    // Sounding runs go out behind the silence held before them.
    int start = 0;
    while (start < count) {
        int end = start;
        while (end < count && silentFrame(frames + static_cast<size_t>(end) * channels_, channels_)) ++end;
        heldSilence_ += end - start;
        start = end;
        while (end < count && !silentFrame(frames + static_cast<size_t>(end) * channels_, channels_)) ++end;
        if (end > start) {
            writeHeldSilence();
            sink_.write(frames + static_cast<size_t>(start) * channels_, end - start, -1);
        }
        start = end;
    }
}
