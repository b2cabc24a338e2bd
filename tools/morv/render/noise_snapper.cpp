#include "tools/morv/render/noise_snapper.h"

#include <algorithm>

#include "framework/block_effect.h"
#include "host/engine.h"

NoiseSnapper::NoiseSnapper(Engine& engine, std::vector<int64_t> frames, int channels)
    : engine_(engine), frames_(std::move(frames)), channels_(channels) {
    recentFrames_ = engine_.withModule([](EffectModule* m) {
        auto* frames = dynamic_cast<BlockEffect*>(m);
        return frames ? frames->frameLength() : 0;
    });
}

void NoiseSnapper::beforeBlock(const int32_t* block, int64_t start, int count) {
    while (next_ < frames_.size() && frames_[next_] < start + count) {
        snapAt();
        ++next_;
    }
    inputFrames_ = start + count;
    // Keep the last recentFrames_ frames of input, while a snap is still to come.
    if (recentFrames_ == 0 || next_ >= frames_.size()) return;
    recent_.insert(recent_.end(), block, block + static_cast<size_t>(count) * channels_);
    const size_t keep = static_cast<size_t>(recentFrames_) * channels_;
    if (recent_.size() > keep) recent_.erase(recent_.begin(), recent_.end() - keep);
}

// The module has run some frames since the last snap, each consuming one hop
// of input; those that emitted left `overlap` frames (fewer when it has run
// too few to emit) unemitted, and the snap drops them.
void NoiseSnapper::snapAt() {
    int64_t counter = 0, hop = 0, overlap = 0;
    engine_.withModule([&](EffectModule* m) {
        if (auto* frames = dynamic_cast<BlockEffect*>(m)) {
            counter = frames->frameCounter();
            hop = frames->hop();
            overlap = frames->overlap();
        }
    });
    engine_.snapNoise();
    earlierFrameRuns_ += counter;
    const int64_t consumed = earlierFrameRuns_ * hop;
    const int64_t dropped = std::min(counter * hop, overlap);
    if (dropped <= 0) return;

    Gap gap{consumed - dropped, std::vector<int32_t>(static_cast<size_t>(dropped) * channels_, 0)};
    // Those input frames are at most one module frame old: recent_ holds them.
    const int64_t recentStart = inputFrames_ - static_cast<int64_t>(recent_.size()) / channels_;
    for (int64_t f = 0; f < dropped; ++f) {
        const int64_t source = gap.frame + f - recentStart;
        if (source < 0) continue;
        for (int c = 0; c < channels_; ++c) {
            if (channelSelected(c, engine_.channelMask())) continue;
            gap.samples[static_cast<size_t>(f * channels_ + c)] = recent_[static_cast<size_t>(source * channels_ + c)];
        }
    }
    gaps_.push_back(std::move(gap));
}

int64_t NoiseSnapper::nextGapFrame() const { return gaps_.empty() ? -1 : gaps_.front().frame; }

std::vector<int32_t> NoiseSnapper::takeGap() {
    std::vector<int32_t> samples = std::move(gaps_.front().samples);
    gaps_.erase(gaps_.begin());
    return samples;
}
