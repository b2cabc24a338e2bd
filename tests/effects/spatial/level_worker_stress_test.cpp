#include "effects/spatial/level_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "effects/spatial/partitioned_convolver.h"
#include "tests/support/test_signals.h"

namespace {

// Coarse steps on the convolver's thread must give the very output of steps
// run in the call: through blocks of every size (one call may complete many
// partitions, or a level's input while its last step still runs), responses
// that add a level, drop to one level and come back, and a reset.
TEST(LevelWorkerStress, BackgroundStepsGiveTheOutputOfStepsInTheCall) {
    constexpr int kPartition = 256;
    const std::vector<double> longer = testsignals::noise(60000, 1, 1.0, 21);
    const std::vector<double> shorter = testsignals::noise(20000, 1, 1.0, 22);
    const std::vector<double> x = testsignals::noise(400000, 1, 10000.0, 23);
    PartitionedConvolver inCall(kPartition), background(kPartition);
    background.setBackgroundSteps(true);
    ASSERT_TRUE(background.backgroundSteps());
    for (PartitionedConvolver* c : {&inCall, &background}) c->loadResponse(shorter.data(), 20000);

    const int sizes[] = {64, 1, 8192, 576, 7, 40000, 300};
    std::vector<double> a(x.size()), b(x.size());
    size_t at = 0;
    for (int call = 0; at < x.size(); ++call) {
        const int n = static_cast<int>(std::min<size_t>(sizes[call % 7], x.size() - at));
        if (call == 30 || call == 150) {
            for (PartitionedConvolver* c : {&inCall, &background}) c->loadResponse(longer.data(), 60000);
        } else if (call == 90) {
            for (PartitionedConvolver* c : {&inCall, &background}) c->loadResponse(longer.data(), 3 * kPartition);
        } else if (call == 120) {
            inCall.reset();
            background.reset();
        }
        ASSERT_EQ(inCall.process(x.data() + at, a.data() + at, n, n), n);
        ASSERT_EQ(background.process(x.data() + at, b.data() + at, n, n), n);
        at += n;
    }
    EXPECT_EQ(background.levelCount(), 3);
    EXPECT_TRUE(a == b);
    background.setBackgroundSteps(false);
    EXPECT_FALSE(background.backgroundSteps());
}

}  // namespace
