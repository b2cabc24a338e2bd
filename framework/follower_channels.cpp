#include "framework/follower_channels.h"

#include <algorithm>
#include <cstring>

namespace {

// Room for a delay and a few host blocks, so that a steady stream does not
// grow the queues.
constexpr int kInitialBlockFrames = 8192;

}  // namespace

FollowerChannels::FollowerChannels(int count, int delay) : queues_(count > 0 ? count : 0), delay_(delay > 0 ? delay : 0) {
    for (Queue& q : queues_) q.samples.assign(static_cast<size_t>(delay_) + kInitialBlockFrames, 0.0);
    reset();
}

void FollowerChannels::reset() {
    for (Queue& q : queues_) {
        std::fill(q.samples.begin(), q.samples.begin() + delay_, 0.0);
        q.start = 0;
        q.end = delay_;
    }
}

// Moves the queued samples to the front, and grows the storage only when
// they and the new ones do not fit.
void FollowerChannels::makeRoom(Queue& q, int frames) {
    const int queued = q.end - q.start;
    if (q.end + frames <= static_cast<int>(q.samples.size())) return;
    if (q.start > 0) {
        std::memmove(q.samples.data(), q.samples.data() + q.start, sizeof(double) * queued);
        q.start = 0;
        q.end = queued;
    }
    if (queued + frames > static_cast<int>(q.samples.size())) q.samples.resize(2 * static_cast<size_t>(queued + frames));
}

void FollowerChannels::push(int c, const double* in, int frames, int stride) {
    if (frames <= 0) return;
    Queue& q = queues_[c];
    makeRoom(q, frames);
    double* to = q.samples.data() + q.end;
    for (int i = 0; i < frames; ++i) to[i] = in[static_cast<size_t>(i) * stride];
    q.end += frames;
}

void FollowerChannels::pop(int c, double* out, int frames, int stride) {
    if (frames <= 0) return;
    Queue& q = queues_[c];
    const int available = std::min(frames, q.end - q.start);
    const double* from = q.samples.data() + q.start;
    for (int i = 0; i < available; ++i) out[static_cast<size_t>(i) * stride] = from[i];
    for (int i = available; i < frames; ++i) out[static_cast<size_t>(i) * stride] = 0.0;
    q.start += available;
    if (q.start == q.end) q.start = q.end = 0;
}
