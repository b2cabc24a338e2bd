#include "effects/spatial/partitioned_convolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/support/test_signals.h"

namespace {

constexpr int kPartition = 2048;

// A response with a dense head of headLength random taps and, further out,
// a few single taps up to length (cheap to convolve directly).
std::vector<double> sparseResponse(int length, int headLength, uint32_t seed) {
    std::vector<double> h(static_cast<size_t>(length), 0.0);
    const std::vector<double> noise = testsignals::noise(headLength + 64, 1, 1.0, seed);
    std::copy(noise.begin(), noise.begin() + std::min(headLength, length), h.begin());
    for (int i = 0; i < 64 && headLength < length; ++i) {
        const int at = headLength + static_cast<int>((length - headLength - 1) * std::fabs(noise[headLength + i]));
        h[at] = noise[(i * 7) % headLength];
    }
    h[length - 1] = 0.5;
    return h;
}

// y[t] = sum_k h[k] x[t - k], skipping the zero taps.
std::vector<double> directConvolution(const std::vector<double>& h, const std::vector<double>& x) {
    std::vector<int> taps;
    for (size_t k = 0; k < h.size(); ++k) {
        if (h[k] != 0.0) taps.push_back(static_cast<int>(k));
    }
    std::vector<double> y(x.size(), 0.0);
    for (size_t t = 0; t < x.size(); ++t) {
        double sum = 0.0;
        for (int k : taps) {
            if (k > static_cast<int>(t)) break;
            sum += h[k] * x[t - k];
        }
        y[t] = sum;
    }
    return y;
}

// Runs x through the convolver in blocks whose sizes cycle through sizes;
// every call must deliver its whole block.
std::vector<double> stream(PartitionedConvolver& c, const std::vector<double>& x, const std::vector<int>& sizes) {
    std::vector<double> out(x.size(), 0.0);
    size_t at = 0;
    for (size_t call = 0; at < x.size(); ++call) {
        const int n = static_cast<int>(std::min<size_t>(sizes[call % sizes.size()], x.size() - at));
        EXPECT_EQ(c.process(x.data() + at, out.data() + at, n, n), n) << "call " << call;
        at += n;
    }
    return out;
}

double worstRelativeError(const std::vector<double>& out, const std::vector<double>& y, int latency) {
    double worst = 0.0, peak = 0.0;
    for (size_t t = latency; t < out.size(); ++t) {
        worst = std::max(worst, std::fabs(out[t] - y[t - latency]));
        peak = std::max(peak, std::fabs(y[t - latency]));
    }
    return worst / peak;
}

struct ResponseCase {
    int length, head, levels;
    int silence = 0;  // leading zeros, as a room's delay gives
};

class PartitionedConvolverLevels : public ::testing::TestWithParam<ResponseCase> {};

// Noise in blocks of cycling sizes against a direct convolution, and an
// impulse in the player's blocks, which must return the response itself:
// a level whose output lands in the wrong partition fails either.
constexpr int kPlayerBlock = 576;

// x through c in the player's 576-frame calls; beforeCall(call) runs ahead
// of each, where a test loads a new response.
template <class BeforeCall>
std::vector<double> inPlayerCalls(PartitionedConvolver& c, const std::vector<double>& x, BeforeCall beforeCall) {
    std::vector<double> out(x.size());
    for (int call = 0; call * kPlayerBlock < static_cast<int>(x.size()); ++call) {
        beforeCall(call);
        const int n = std::min(kPlayerBlock, static_cast<int>(x.size()) - call * kPlayerBlock);
        EXPECT_EQ(c.process(x.data() + call * kPlayerBlock, out.data() + call * kPlayerBlock, n, n), n) << call;
    }
    return out;
}

// From output sample firstNew on, out is x convolved with h, one block late.
void expectFollowsFrom(const std::vector<double>& out, const std::vector<double>& h, const std::vector<double>& x,
                       int firstNew) {
    const std::vector<double> y = directConvolution(h, x);
    const std::vector<double> tailOut(out.begin() + firstNew, out.end());
    const std::vector<double> tailRef(y.begin() + firstNew - kPartition, y.end() - kPartition);
    EXPECT_LT(worstRelativeError(tailOut, tailRef, 0), 1e-9);
}

TEST_P(PartitionedConvolverLevels, MatchDirectConvolutionOneBlockLate) {
    const ResponseCase k = GetParam();
    std::vector<double> h = sparseResponse(k.length, k.head, 5 + k.length);
    std::fill(h.begin(), h.begin() + k.silence, 0.0);
    PartitionedConvolver c(kPartition);
    c.loadResponse(h.data(), k.length);
    EXPECT_EQ(c.levelCount(), k.levels);
    const std::vector<double> x = testsignals::noise(k.length + 6 * kPartition, 1, 10000.0, 3);
    const std::vector<double> out = stream(c, x, {576, 37, 4096, 1, 2048, 5000, 2049});
    EXPECT_LT(worstRelativeError(out, directConvolution(h, x), kPartition), 1e-9);
    for (int t = 0; t < kPartition; ++t) ASSERT_EQ(out[t], 0.0) << "latency sample " << t;

    c.reset();
    std::vector<double> impulse(k.length + 2 * kPartition, 0.0);
    impulse[0] = 1.0;
    std::vector<double> padded(h);
    padded.resize(impulse.size(), 0.0);
    // Rounding only: the coarsest level's transforms have 204,800 points.
    EXPECT_LT(worstRelativeError(stream(c, impulse, {576}), padded, kPartition), 4e-12);
}

// One partition; the most that level 0 takes alone; just more than that; the
// first two levels; all three; leading silent partitions, in level 0 and
// beyond it.
INSTANTIATE_TEST_SUITE_P(Lengths, PartitionedConvolverLevels,
                         ::testing::Values(ResponseCase{1, 1, 1}, ResponseCase{2048, 2048, 1},
                                           ResponseCase{33314, 33314, 1}, ResponseCase{40960, 3000, 1},
                                           ResponseCase{40961, 3000, 2}, ResponseCase{100000, 4000, 2},
                                           ResponseCase{300000, 3000, 3}, ResponseCase{33314, 33314, 1, 5107},
                                           ResponseCase{100000, 12000, 2, 10000}));

TEST(PartitionedConvolverTest, ANewResponseTakesOverWithoutChangingTheLatency) {
    // Reloading at every call would repeat or drop blocks if a reload cost a
    // partition; the output must follow the new response one block late, over
    // the past input too, though the long old one kept fewer partitions in
    // the head level than the new one has.
    const std::vector<double> a = sparseResponse(100000, 4000, 1);
    const std::vector<double> b = sparseResponse(33000, 3000, 2);
    const std::vector<double> x = testsignals::noise(60000, 1, 10000.0, 4);
    PartitionedConvolver c(kPartition);
    c.loadResponse(a.data(), 100000);
    const int switchCall = 40;
    const std::vector<double> out =
        inPlayerCalls(c, x, [&](int call) { if (call >= switchCall) c.loadResponse(b.data(), 33000); });
    // Partitions taken from the switch on use b over the whole input, once
    // the coarse output computed before it (up to 5 partitions ahead) is out.
    expectFollowsFrom(out, b, x, ((switchCall * kPlayerBlock) / kPartition + 9) * kPartition);
}

TEST(PartitionedConvolverTest, AResponseOfOnePartitionKeepsThePastInputForALongerOne) {
    // A single partition keeps its windows in another form; the longer
    // response loaded after it must still reach the input from before.
    const std::vector<double> a = sparseResponse(1500, 1500, 3);
    const std::vector<double> b = sparseResponse(9 * kPartition, 2000, 4);
    const std::vector<double> x = testsignals::noise(40 * kPartition, 1, 10000.0, 5);
    PartitionedConvolver c(kPartition);
    c.loadResponse(a.data(), 1500);
    const int switchCall = 60;
    const std::vector<double> out =
        inPlayerCalls(c, x, [&](int call) { if (call == switchCall) c.loadResponse(b.data(), 9 * kPartition); });
    expectFollowsFrom(out, b, x, ((switchCall * kPlayerBlock) / kPartition + 1) * kPartition);
}

TEST(PartitionedConvolverTest, ResetForgetsTheSignalButKeepsTheResponse) {
    const std::vector<double> h = sparseResponse(150000, 5000, 9);
    const std::vector<double> x = testsignals::noise(150000, 1, 10000.0, 6);
    PartitionedConvolver used(kPartition), fresh(kPartition);
    used.loadResponse(h.data(), 150000);
    fresh.loadResponse(h.data(), 150000);
    stream(used, x, {576});
    used.reset();
    EXPECT_EQ(used.pendingInput(), 0);
    EXPECT_EQ(used.readyOutput(), kPartition);
    const std::vector<double> y = testsignals::noise(140000, 1, 10000.0, 8);
    EXPECT_EQ(stream(used, y, {441}), stream(fresh, y, {441}));
}

TEST(PartitionedConvolverTest, QueuesGrowForLargeBlocksAndKeepTheirContents) {
    const std::vector<double> h = sparseResponse(300, 300, 3);
    PartitionedConvolver c(200);
    c.loadResponse(h.data(), 300);
    EXPECT_EQ(c.partitionCount(), 2);
    const std::vector<double> x = testsignals::noise(40000, 1, 10000.0, 2);
    const std::vector<double> out = stream(c, x, {7, 9000, 200, 12345, 1});
    EXPECT_LT(worstRelativeError(out, directConvolution(h, x), 200), 1e-9);
}

}  // namespace
