#pragma once

#include <memory>
#include <vector>

#include "effects/spatial/convolution_level.h"
#include "effects/spatial/convolver_response.h"
#include "effects/spatial/level_worker.h"

// Streaming convolution with a response of any length, at a fixed latency of
// one partition (B samples) whatever the block sizes.
//
// Input is queued and taken in partitions of B samples, each only once a
// further sample waits behind it. A response of up to 20 partitions is
// convolved in partitions of B with 2B-point transforms. A longer one keeps
// its first partitions there and continues in coarser levels, partitions of
// 5B and then of 50B, which need far fewer spectrum products per sample:
// their output lies ahead and waits in a ring until it is due. With
// setBackgroundSteps the levels are laid out a whole step of their own ahead
// of their output, and their steps run on a thread meanwhile. The output queue starts with B samples of silence and then takes
// B samples per partition, so every call finds its m samples ready.
class PartitionedConvolver {
public:
    explicit PartitionedConvolver(int partitionLength);
    ~PartitionedConvolver();

    // Loads a response of length samples (nothing happens when length < 1).
    // The signal history is kept: from the next partition on the new response
    // applies to the past input as well, while output that coarse levels
    // already computed with the old one plays out. Loading a response of the
    // same size again allocates nothing.
    void loadResponse(const double* response, int length);
    // loadResponse in two steps. prepareResponse builds in staged what
    // loading the response takes (partition spectra, levels, storage); it
    // reads only the convolver's shape (its levels and their history sizes),
    // which only installResponse changes, so it may run on another thread
    // while process does. installResponse swaps it in without allocating, in
    // constant time but for a history that grows (its window spectra move).
    void prepareResponse(const double* response, int length, ConvolverResponse& staged) const;
    void installResponse(ConvolverResponse& staged);
    // Queues n input samples and, when at least m output samples are ready,
    // writes the first m to out and returns m; otherwise writes nothing and
    // returns 0.
    int process(const double* in, double* out, int n, int m);
    // Back to the state after construction, response kept: silent history,
    // empty input queue, one partition of silence ready.
    void reset();
    // Runs the coarse levels' steps on a thread of the convolver's own (on)
    // or in the call in which their input completes (off, the default). The
    // thread keeps a call that completes a long partition as short as the
    // others, at the cost of a few more spectrum products per sample; the
    // output differs from the in-call one by rounding only. A change drops
    // the coarse levels: call it before processing, then load the response
    // again. Starting the thread allocates.
    void setBackgroundSteps(bool on);
    bool backgroundSteps() const { return worker_ != nullptr; }

    int partitionLength() const { return partition_; }
    int transformLength() const { return 2 * partition_; }
    int latency() const { return partition_; }
    int responseLength() const { return responseLength_; }
    // Partitions of all levels, and how many levels are in use.
    int partitionCount() const;
    int levelCount() const;
    int pendingInput() const { return pending_; }
    int readyOutput() const { return ready_; }

private:
    void makeRoomForOutput(int count);
    void takePartition(const double* samples);
    // A coarse level's step, and its output into the ring from the slot
    // that was the head when the step was due.
    void stepCoarse(int j, int head);
    static void stepInBackground(void* self, int j, int head);
    // Waits until no step of level j runs in the background.
    void settle(int j);

    int partition_;
    int responseLength_ = 0;
    std::vector<std::unique_ptr<ConvolutionLevel>> levels_;  // level 0 first; created as needed, kept
    std::vector<double> ring_;  // coarse-level output, one slot of B samples per partition ahead
    int ringHead_ = 0;          // slot of the partition being emitted
    int ringSlots_ = 0;         // as the plan in use needs
    std::vector<double> inputQueue_;
    std::vector<double> outputQueue_;
    ConvolverResponse loadStaging_;  // for loadResponse
    int pending_ = 0;
    int outputStart_ = 0;  // first ready output sample
    int ready_ = 0;
    // Declared last: destroyed first, it lets its steps finish while the
    // levels still exist.
    std::unique_ptr<LevelWorker> worker_;
};
