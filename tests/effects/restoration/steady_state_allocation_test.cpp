#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "effects/restoration/de_click.h"
#include "effects/restoration/de_hiss.h"
#include "effects/restoration/de_noise.h"
#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

// Noise with a burst of clicks every 0.05 s, so that DeClick fills and
// refines while it is watched, and DeNoise is past its learning.
std::vector<double> clickyNoise(int frames) {
    std::vector<double> x = testsignals::noise(frames, 2, 2000.0, 31);
    const std::vector<double> tone = testsignals::sine(frames, 2, 44100.0, 300.0, 6000.0);
    for (size_t i = 0; i < x.size(); ++i) x[i] += tone[i];
    for (int f = 1000; f + 40 < frames; f += 2205)
        for (int j = 0; j < 1 + f % 37; ++j) x[2 * (f + j)] += 15000.0;
    return x;
}

TEST(RestorationSteadyState, ProcessingAllocatesNothing) {
    const int frames = 2 * 44100;
    const std::vector<double> input = clickyNoise(frames);
    std::unique_ptr<EffectModule> modules[] = {std::make_unique<DeClick>(44100.0, 2),
                                               std::make_unique<DeHiss>(44100.0, 2),
                                               std::make_unique<DeNoise>(44100.0, 2)};
    for (auto& module : modules) {
        std::vector<double> block(2 * 576);
        long during = 0;
        for (int b = 0; (b + 1) * 576 <= frames; ++b) {
            std::copy(input.begin() + 2 * 576 * b, input.begin() + 2 * 576 * (b + 1), block.begin());
            const long before = allocprobe::threadAllocations();
            module->process(block.data(), block.data(), 2 * 576, 2 * 576, 3);
            // The first second is not counted: the queues may take their
            // size from the first blocks.
            if (b * 576 >= 44100) during += allocprobe::threadAllocations() - before;
        }
        EXPECT_EQ(during, 0);
    }
    EXPECT_TRUE(static_cast<DeNoise*>(modules[2].get())->captured());
    EXPECT_GT(static_cast<DeClick*>(modules[0].get())->detectedClicks(), 20);
}

}  // namespace
