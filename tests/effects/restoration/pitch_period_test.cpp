#include "effects/restoration/pitch_period.h"

#include <gtest/gtest.h>

#include <vector>

#include "effects/restoration/quad_lanes.h"
#include "tests/support/test_signals.h"

namespace {

#ifdef MORV_QUAD_LANES
// The four-lane lag search picks the lag the two-lane one picks: frames of
// tones over the whole lag range with noise of several levels (close
// minima), at the rates whose frames split the lags into groups differently.
TEST(PitchPeriod, FourLaneSearchMatchesTwoLane) {
    if (!quadLanesEnabled()) GTEST_SKIP() << "no AVX";
    const std::vector<double> noise = testsignals::noise(4000, 1, 3000.0, 5);
    int periodic = 0;
    for (double rate : {32000.0, 44100.0, 48000.0}) {
        const int length = static_cast<int>(rate * 0.025);
        for (int f = 0; f < 40; ++f) {
            std::vector<double> x = testsignals::sine(length, 1, rate, 55.0 + 23.7 * f, 8000.0);
            for (int n = 0; n < length; ++n) x[n] += (f % 4) * noise[n + 41 * f];
            const int quad = pitchPeriod(x.data(), length, rate);
            quadLanesEnabled() = false;
            const int pair = pitchPeriod(x.data(), length, rate);
            quadLanesEnabled() = true;
            EXPECT_EQ(quad, pair) << rate << " Hz, tone " << f;
            periodic += quad > 0;
        }
    }
    EXPECT_GT(periodic, 40);
}
#endif

}  // namespace
