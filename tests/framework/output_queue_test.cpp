// OutputQueue driven as a rate-changing module drives it: each host block of
// n samples produces a varying number of whole frames, and the pipeline asks
// with outCapacity = n + queued (at most 2n).
#include "framework/output_queue.h"

#include <vector>

#include <gtest/gtest.h>

#include "tests/framework/allocation_probe.h"

namespace {

constexpr int kChannels = 2;
constexpr int kBlock = 1152;

// Produces per host block the whole frames a rate factor makes (carrying the
// fraction), numbering the samples 0, 1, 2, ..., and checks each delivery.
struct RateStream {
    double ratio;
    double owed = 0.0;
    double produced = 0.0;
    double delivered = 0.0;
    int faults = 0;

    void block(OutputQueue& queue, double* out) {
        const int extra = queue.queued();
        const int outCapacity = extra > kBlock ? 2 * kBlock : kBlock + extra;
        owed += ratio * kBlock / kChannels;
        const int count = static_cast<int>(owed) * kChannels;
        owed -= count / kChannels;
        double* tail = queue.reserve(count);
        for (int i = 0; i < count; ++i) tail[i] = produced++;
        queue.commit(count);
        const int got = queue.deliver(out, outCapacity);
        if (got != 0 && got != outCapacity) ++faults;  // whole blocks only
        for (int i = 0; i < got; ++i)
            if (out[i] != delivered++) ++faults;  // nothing lost or reordered
    }
};

}  // namespace

TEST(OutputQueue, DeliversWholeBlocksInOrderWithoutLoss) {
    std::vector<double> out(2 * kBlock);
    for (double ratio : {2.0, 1.32, 1.0, 0.758, 0.354}) {
        SCOPED_TRACE(ratio);
        OutputQueue queue(kChannels, 64);  // small, so the first blocks grow it
        RateStream stream{ratio};
        for (int b = 0; b < 400; ++b) stream.block(queue, out.data());
        EXPECT_EQ(stream.faults, 0);
        EXPECT_EQ(stream.delivered + queue.queued(), stream.produced);
        // Slower streams come out in bursts but keep up on average.
        EXPECT_LT(queue.queued(), 3 * kBlock);
        EXPECT_GT(stream.delivered, ratio * 399 * kBlock - 3 * kBlock);
    }
}

TEST(OutputQueue, ShortQueueWritesNothingAndCapacityRoundsToFrames) {
    OutputQueue queue(kChannels, 16);
    const double samples[] = {1, 2, 3, 4, 5, 6};
    queue.push(samples, 6);
    double out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(queue.deliver(out, 8), 0);
    EXPECT_EQ(out[0], 9.0);
    EXPECT_EQ(queue.deliver(out, 5), 4);  // 5 samples hold two whole frames
    EXPECT_EQ(std::vector<double>(out, out + 5), (std::vector<double>{1, 2, 3, 4, 9}));
    EXPECT_EQ(queue.queued(), 2);
    EXPECT_EQ(queue.deliver(out, 1), 0);
    queue.push(samples, 2);
    EXPECT_EQ(queue.deliver(out, 4), 4);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{5, 6, 1, 2}));
}

TEST(OutputQueue, AllocatesNothingOnceGrown) {
    std::vector<double> out(2 * kBlock);
    OutputQueue queue(kChannels, 0);
    RateStream stream{0.758};
    for (int b = 0; b < 50; ++b) stream.block(queue, out.data());
    const int grown = queue.capacity();
    const long before = allocprobe::threadAllocations();
    for (int b = 0; b < 500; ++b) stream.block(queue, out.data());
    EXPECT_EQ(allocprobe::threadAllocations(), before);
    EXPECT_EQ(queue.capacity(), grown);
    EXPECT_EQ(stream.faults, 0);
}
