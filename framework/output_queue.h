#pragma once

#include <vector>

// The output side of a module whose output length differs from its input
// (rate or tempo change). Produced samples are queued, interleaved, and
// served in whole host blocks; what a call cannot deliver stays queued, in
// order, for the next one, and queued() is what the module's extraOutput
// reports. The queued samples start at an offset that a delivery advances,
// so that what stays queued is not moved after every block; they move to the
// front only when a push finds no room behind them. Storage grows when a
// push needs more room than that and never shrinks, so once it has grown the
// queue allocates nothing.
class OutputQueue {
public:
    OutputQueue(int channels, int initialCapacity);

    // Room for count more samples behind the queued ones; write them there,
    // then commit(count). Grows the storage, keeping the queue, if needed.
    double* reserve(int count);
    void commit(int count);
    void push(const double* samples, int count);

    // When at least outCapacity (rounded down to whole frames) samples are
    // queued, moves that many to out and returns their count; otherwise
    // writes nothing and returns 0.
    int deliver(double* out, int outCapacity);

    int queued() const { return queued_; }
    int capacity() const { return static_cast<int>(storage_.capacity()); }
    void clear() {
        start_ = 0;
        queued_ = 0;
    }

private:
    int channels_;
    int start_ = 0;
    int queued_ = 0;
    std::vector<double> storage_;
};
