#include "effects/spatial/level_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/spatial/partitioned_convolver.h"
#include "tests/support/test_signals.h"

namespace {

// Coarse steps on the convolver's thread, with their own layout of levels,
// must give the output of steps run in the call but for rounding: through
// blocks of every size (one call may complete many partitions, or a level's
// input while its last step still runs), responses that add a level, drop to
// one level and come back, and a reset. For a while after a change of
// response the two layouts differ by design (each plays out its own amount
// of the old response, and a level that is new has no history to apply the
// new one to the past input), so those stretches are not compared.
TEST(LevelWorkerStress, BackgroundStepsGiveTheOutputOfStepsInTheCall) {
    constexpr int kPartition = 256;
    constexpr size_t kSettle = 100000;  // the longer response and two of the longest steps
    const std::vector<double> longer = testsignals::noise(60000, 1, 1.0, 21);
    const std::vector<double> shorter = testsignals::noise(20000, 1, 1.0, 22);
    const std::vector<double> x = testsignals::noise(700000, 1, 10000.0, 23);
    PartitionedConvolver inCall(kPartition), background(kPartition);
    background.setBackgroundSteps(true);
    ASSERT_TRUE(background.backgroundSteps());
    auto load = [&](const std::vector<double>& h, int length) {
        inCall.loadResponse(h.data(), length);
        background.loadResponse(h.data(), length);
    };
    load(shorter, 20000);

    const int sizes[] = {64, 1, 8192, 576, 7, 40000, 300};
    std::vector<double> a(x.size()), b(x.size());
    std::vector<bool> compared(x.size(), true);
    auto changedAt = [&](size_t at) {
        std::fill(compared.begin() + at, compared.begin() + std::min(x.size(), at + kSettle), false);
    };
    const size_t changes[] = {100000, 250000, 400000, 450000};
    int next = 0;
    size_t at = 0;
    for (int call = 0; at < x.size(); ++call) {
        if (next < 4 && at >= changes[next]) {
            if (next == 0 || next == 3) load(longer, 60000);
            if (next == 1) load(longer, 3 * kPartition);
            if (next == 2) {
                inCall.reset();
                background.reset();
            } else {
                changedAt(at);
            }
            ++next;
        }
        const int n = static_cast<int>(std::min<size_t>(sizes[call % 7], x.size() - at));
        ASSERT_EQ(inCall.process(x.data() + at, a.data() + at, n, n), n);
        ASSERT_EQ(background.process(x.data() + at, b.data() + at, n, n), n);
        at += n;
    }
    EXPECT_EQ(background.levelCount(), 3);
    double worst = 0.0, peak = 0.0;
    for (size_t t = 0; t < a.size(); ++t) {
        if (compared[t]) worst = std::max(worst, std::fabs(a[t] - b[t]));
        peak = std::max(peak, std::fabs(a[t]));
    }
    EXPECT_LT(worst, 1e-12 * peak);
    background.setBackgroundSteps(false);
    EXPECT_FALSE(background.backgroundSteps());
}

}  // namespace
