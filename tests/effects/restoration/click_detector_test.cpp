#include "effects/restoration/click_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/test_signals.h"

namespace {

// Short frames (DeClick's 25 ms below 16 kHz) scan samples 51 .. N - 51, so
// one disturbed region may cover more than half the frame: a threshold factor
// of 0 (a stored setting far below the slider's 3) makes the whole scan one
// region. Narrowing it keeps its forward and backward residuals side by side
// in the detector's storage, which must hold both (ASan reports the overflow).
TEST(ClickDetector, ARegionOverMostOfAShortFrameIsNarrowedInsideTheFrame) {
    constexpr int kOrder = 50;
    for (int n : {202, 270, 300}) {
        ClickDetector detector(n, kOrder, 200);
        std::vector<double> a(kOrder + 1, 0.0);  // the identity filter: residual = signal
        a[0] = 1.0;
        // Noise between two stretches of digital silence, which end the region.
        std::vector<double> x = testsignals::noise(n, 1, 1000.0, 9);
        std::fill(x.begin(), x.begin() + kOrder + 10, 0.0);
        std::fill(x.end() - kOrder - 10, x.end(), 0.0);
        ASSERT_EQ(detector.detect(x.data(), a.data(), 0.0), 1) << "N = " << n;
        EXPECT_GE(detector.clickStart(0), kOrder) << "N = " << n;
        EXPECT_LT(detector.clickEnd(0), n - kOrder) << "N = " << n;
        EXPECT_GT(detector.clickEnd(0) - detector.clickStart(0), n - 2 * kOrder - 30) << "N = " << n;
    }
}

}  // namespace
