#include "framework/block_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/portable_math.h"
#include "framework/real_fft.h"

namespace {

using portable::kPi;

// Symmetric four-term Blackman-Harris window of n points, normalised so that
// its squares laid at every hop add up to 1 at every sample. Its cosines come
// from portable_math.h: a window that differs in the last bit between the two
// builds would change a near-identity effect's output after truncation.
void buildWindow(double* w, int n, int hop) {
    if (n == 1) {
        w[0] = 1.0;
        return;
    }
    const double step = 2.0 * kPi / (n - 1);
    for (int k = 0; k < n; ++k) {
        const double a = step * k;
        w[k] = 0.35875 - 0.48829 * portable::cosine(a) + 0.14128 * portable::cosine(2.0 * a) -
               0.01168 * portable::cosine(3.0 * a);
    }
    for (int r = 0; r < hop && r < n; ++r) {
        double sum = 0.0;
        for (int k = r; k < n; k += hop) sum += w[k] * w[k];
        const double norm = std::sqrt(sum);
        if (norm > 0.0)
            for (int k = r; k < n; k += hop) w[k] /= norm;
    }
}

}  // namespace

BlockEffect::BlockEffect(double sampleRate, double frameDuration, double hopFraction, int channels, int capacity,
                         int frameMode)
    : EffectModule(capacity),
      sampleRate_(sampleRate),
      frameLength_(chooseTransformLength(static_cast<int>(sampleRate * frameDuration), 2)),
      channels_(channels),
      hop_(static_cast<int>(frameLength_ * hopFraction)),
      overlap_(0),
      frameMode_(frameMode) {
    // A hop of 0 would never consume input; no module asks for one.
    if (hop_ < 1) hop_ = 1;
    if (hop_ > frameLength_) hop_ = frameLength_;
    overlap_ = frameLength_ - hop_;
    const size_t block = static_cast<size_t>(channels_) * frameLength_;
    const bool windowed = frameMode_ == kFrameOverlapAdd;
    // The history gets twice a frame's room: each frame starts one hop further
    // on, and the overlap moves back to the front only when the room runs out.
    const size_t total = 4 * block + (windowed ? frameLength_ : 0);
    frameStorage_.reset(new double[total]);
    std::fill(frameStorage_.get(), frameStorage_.get() + total, 0.0);
    history_ = frameStorage_.get();
    accumulator_ = history_ + 2 * block;
    planes_ = accumulator_ + block;
    if (windowed) {
        window_ = planes_ + block;
        buildWindow(window_, frameLength_, hop_);
    }
}

BlockEffect::~BlockEffect() = default;

int BlockEffect::inputStep() { return hop_ * channels_; }

int BlockEffect::outputStep() { return hop_ * channels_; }

void BlockEffect::processFrame(int /*channelMask*/) {}

int BlockEffect::reset() {
    pendingInput_ = 0;
    pendingOutput_ = 0;
    const size_t block = static_cast<size_t>(channels_) * frameLength_;
    std::fill(history_, history_ + 2 * block, 0.0);
    historyStart_ = 0;
    std::fill(accumulator_, accumulator_ + block, 0.0);
    frameCounter_ = 0;
    return 0;
}

int BlockEffect::process(const double* in, double* out, int inCount, int outCapacity, int channelMask) {
    // Queue the input (before anything is written to out, which may be in).
    if (inCount > 0) {
        if (pendingInput_ + inCount > capacityA_) growA(pendingInput_ + inCount, pendingInput_);
        std::memcpy(bufferA_.get() + pendingInput_, in, sizeof(double) * inCount);
        pendingInput_ += inCount;
    }
    updateDesign();
    const int inStep = inputStep();
    const int outStep = outputStep();
    if (pendingInput_ >= inStep) {
        const int need = (pendingInput_ / inStep) * outStep + pendingOutput_;
        if (need > capacityB_) growB(need, pendingOutput_);
        // The last step of queued input always waits for more input.
        int pos = 0;
        while (pos < pendingInput_ - inStep) {
            runFrame(bufferA_.get() + pos, channelMask);
            pos += inStep;
        }
        if (pos > 0) {
            pendingInput_ -= pos;
            std::memmove(bufferA_.get(), bufferA_.get() + pos, sizeof(double) * pendingInput_);
        }
    }
    if (pendingOutput_ < outCapacity || outCapacity <= 0) return 0;
    std::memcpy(out, bufferB_.get(), sizeof(double) * outCapacity);
    pendingOutput_ -= outCapacity;
    std::memmove(bufferB_.get(), bufferB_.get() + outCapacity, sizeof(double) * pendingOutput_);
    return outCapacity;
}

// One frame: slide the history and the accumulator by one hop, window the
// history into planes, let the subclass work, lay the result back and emit.
void BlockEffect::runFrame(const double* input, int channelMask) {
    const int C = channels_, N = frameLength_;
    const int H = hop_ * C, V = overlap_ * C, T = N * C;
    if (historyStart_ + T + H > 2 * T) {
        std::memmove(history_, history_ + historyStart_ + H, sizeof(double) * V);
        historyStart_ = 0;
    } else {
        historyStart_ += H;
    }
    double* history = history_ + historyStart_;
    std::memcpy(history + V, input, sizeof(double) * H);

    if (frameMode_ == kFrameOverlapAdd) {
        for (int c = 0; c < C; ++c) {
            double* plane = planes_ + c * N;
            const double* h = history + c;
            for (int k = 0; k < N; ++k) plane[k] = h[k * C] * window_[k];
        }
    } else {
        for (int c = 0; c < C; ++c) {
            double* plane = planes_ + c * N;
            const double* h = history + c;
            for (int k = 0; k < N; ++k) plane[k] = h[k * C];
        }
        std::memmove(accumulator_, accumulator_ + H, sizeof(double) * V);
    }

    processFrame(channelMask);

    if (frameMode_ == kFrameOverlapAdd) {
        // The accumulator slides by a hop as the windowed frame is added in:
        // position i takes what stood at i + H, and each channel's pass reads
        // that before it is overwritten (H is whole frames of C samples).
        const int overlap = overlap_;
        for (int c = 0; c < C; ++c) {
            const double* plane = planes_ + c * N;
            double* a = accumulator_ + c;
            for (int k = 0; k < overlap; ++k) a[k * C] = a[k * C + H] + plane[k] * window_[k];
            for (int k = overlap; k < N; ++k) a[k * C] = plane[k] * window_[k];
        }
    } else {
        for (int c = 0; c < C; ++c) {
            const double* plane = planes_ + c * N;
            double* a = accumulator_ + c;
            for (int k = 0; k < N; ++k) a[k * C] = plane[k];
        }
    }
    emit(channelMask);
    ++frameCounter_;
}

// Emit rule with q = overlap / hop: nothing before frame q, the first
// (q + 1) H - V values of the stream at frame q, then one hop per frame.
// A channel outside the mask is emitted from the history, which holds the raw
// input at the same positions as the accumulator: windowing and overlap-add
// would otherwise change an untouched channel by rounding.
void BlockEffect::emit(int channelMask) {
    const int C = channels_;
    const int H = hop_ * C, V = overlap_ * C;
    const int q = overlap_ / hop_;
    int from;
    if (frameCounter_ > q) {
        from = 0;
    } else if (frameCounter_ == q) {
        from = V - q * H;
    } else {
        return;
    }
    double* queue = bufferB_.get() + pendingOutput_;
    std::memcpy(queue, accumulator_ + from, sizeof(double) * (H - from));
    for (int c = 0; c < C; ++c) {
        if (channelSelected(c, channelMask)) continue;
        for (int i = from + c; i < H; i += C) queue[i - from] = history_[historyStart_ + i];
    }
    pendingOutput_ += H - from;
}
