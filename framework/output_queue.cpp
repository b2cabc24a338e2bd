#include "framework/output_queue.h"

#include <algorithm>
#include <cstring>

OutputQueue::OutputQueue(int channels, int initialCapacity)
    : channels_(channels < 1 ? 1 : channels), storage_(static_cast<size_t>(std::max(initialCapacity, 0)), 0.0) {}

double* OutputQueue::reserve(int count) {
    const size_t room = static_cast<size_t>(std::max(count, 0));
    if (static_cast<size_t>(start_) + queued_ + room > storage_.size()) {
        if (queued_ > 0) std::memmove(storage_.data(), storage_.data() + start_, sizeof(double) * queued_);
        start_ = 0;
        if (queued_ + room > storage_.size()) storage_.resize(queued_ + room);
    }
    return storage_.data() + start_ + queued_;
}

void OutputQueue::commit(int count) { queued_ += count; }

void OutputQueue::push(const double* samples, int count) {
    if (count <= 0) return;
    std::memcpy(reserve(count), samples, sizeof(double) * count);
    commit(count);
}

int OutputQueue::deliver(double* out, int outCapacity) {
    const int count = outCapacity - outCapacity % channels_;
    if (count <= 0 || queued_ < count) return 0;
    std::memcpy(out, storage_.data() + start_, sizeof(double) * count);
    queued_ -= count;
    start_ = queued_ == 0 ? 0 : start_ + count;
    return count;
}
