#pragma once

#include <vector>

// The channels past the left/right pair of a module that renders or removes
// on the pair alone (the reverb, the 3D placement, the vocal removers): they
// come back dry, each delayed by the module's latency, frame for frame with
// the pair. Each channel is a queue that starts with `delay` samples of
// silence; a module pushes every input frame and pops as many frames as it
// delivers of the pair, so a module that holds its output back (a frame
// effect filling its first frame) holds the followers back as long.
//
// Storage is sized at construction for the delay and a block, grows when a
// larger backlog arrives and never shrinks.
class FollowerChannels {
public:
    FollowerChannels() = default;
    // count channels (0 or more), each delayed by delay frames.
    FollowerChannels(int count, int delay);

    int count() const { return static_cast<int>(queues_.size()); }
    int delay() const { return delay_; }
    // Frames queued per channel (the same for every channel).
    int queued() const { return queues_.empty() ? 0 : queues_[0].end - queues_[0].start; }

    // Queues frames samples of follower c, read from in every stride doubles.
    void push(int c, const double* in, int frames, int stride);
    // Writes the oldest frames samples of follower c to out every stride
    // doubles and drops them; frames beyond what is queued come out silent.
    void pop(int c, double* out, int frames, int stride);
    // Back to the state after construction: delay frames of silence each.
    void reset();

private:
    struct Queue {
        std::vector<double> samples;
        int start = 0;
        int end = 0;
    };

    void makeRoom(Queue& q, int frames);

    std::vector<Queue> queues_;
    int delay_ = 0;
};
