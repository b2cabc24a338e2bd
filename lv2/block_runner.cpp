#include "lv2/block_runner.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "registry/module_registry.h"

namespace {

constexpr double kToEngine = 8388608.0;          // 2^23
constexpr double kFromEngine = 1.0 / 8388608.0;  // exact

}  // namespace

void BlockRunner::configure(int channels, int blockFrames, int latencyFrames) {
    channels_ = channels;
    block_ = blockFrames;
    latency_ = latencyFrames;
    input_.reset(new double[static_cast<size_t>(block_) * channels_]);
    // The queue holds at most the latency plus one block just processed.
    queueCapacity_ = latency_ + 2 * block_;
    queue_.reset(new double[static_cast<size_t>(queueCapacity_) * channels_]);
    reset();
}

void BlockRunner::reset() {
    inputFrames_ = 0;
    queueStart_ = 0;
    queueFrames_ = latency_;
    padded_ = 0;
    std::fill(queue_.get(), queue_.get() + static_cast<size_t>(queueCapacity_) * channels_, 0.0);
}

void BlockRunner::push(const double* samples, int count) {
    const int frames = count / channels_;
    for (int f = 0; f < frames && queueFrames_ < queueCapacity_; ++f) {
        const int slot = (queueStart_ + queueFrames_) % queueCapacity_;
        std::memcpy(queue_.get() + static_cast<size_t>(slot) * channels_, samples + static_cast<size_t>(f) * channels_,
                    sizeof(double) * channels_);
        ++queueFrames_;
    }
}

void BlockRunner::pop(float* const* out, int at, int count) {
    const int available = std::min(count, queueFrames_);
    for (int f = 0; f < available; ++f) {
        const double* frame = queue_.get() + static_cast<size_t>(queueStart_) * channels_;
        for (int c = 0; c < channels_; ++c) out[c][at + f] = static_cast<float>(frame[c] * kFromEngine);
        queueStart_ = (queueStart_ + 1) % queueCapacity_;
    }
    queueFrames_ -= available;
    for (int f = available; f < count; ++f) {
        for (int c = 0; c < channels_; ++c) out[c][at + f] = 0.0f;
    }
    padded_ += count - available;
}

void BlockRunner::run(const float* const* in, float* const* out, int frames, Process process, void* context) {
    int at = 0;
    while (at < frames) {
        const int take = std::min(frames - at, block_ - inputFrames_);
        // Read this stretch of input before writing the same stretch of output:
        // the host may process in place.
        for (int f = 0; f < take; ++f) {
            double* frame = input_.get() + static_cast<size_t>(inputFrames_ + f) * channels_;
            for (int c = 0; c < channels_; ++c) frame[c] = static_cast<double>(in[c][at + f]) * kToEngine;
        }
        inputFrames_ += take;
        if (inputFrames_ == block_) {
            const int produced = process(context, input_.get(), block_ * channels_);
            if (produced > 0) push(input_.get(), produced);
            inputFrames_ = 0;
        }
        pop(out, at, take);
        at += take;
    }
}

int measureLatency(int moduleIndex, int rate, int channels, int blockFrames) {
    std::unique_ptr<EffectModule> module = createModule(moduleIndex, rate, channels);
    if (!module) return blockFrames - 1;
    const int mask = channels == 1 ? 1 : 3;
    const int count = blockFrames * channels;
    std::vector<double> block(static_cast<size_t>(count));
    // Feed at least two seconds, and a second past the last time the
    // shortfall grew; a module's delivery settles within its first frames.
    const int64_t settle = static_cast<int64_t>(rate);
    const int64_t limit = 30 * static_cast<int64_t>(rate);
    int64_t consumed = 0, delivered = 0, worst = 0, grewAt = 0;
    while (consumed < limit && (consumed < 2 * settle || consumed - grewAt < settle)) {
        std::fill(block.begin(), block.end(), 0.0);
        const int produced = module->process(block.data(), block.data(), count, count, mask);
        consumed += blockFrames;
        delivered += std::max(0, produced) / channels;
        if (consumed - delivered > worst) {
            worst = consumed - delivered;
            grewAt = consumed;
        }
    }
    // A host's block can end anywhere inside an engine block: up to
    // blockFrames - 1 frames wait for the block to fill.
    return static_cast<int>(worst) + blockFrames - 1;
}
