#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

using RenderJobFaults = MorvFileTest;

// Noise in both channels, 16-bit: each channel distinct.
std::vector<double> stereoNoise(int frames, uint32_t seed = 5) {
    std::vector<double> x = testsignals::noise(frames, 2, 0.3, seed);
    for (double& v : x) v = static_cast<int>(v * 32768.0) / 32768.0;
    return x;
}

TEST_F(RenderJobFaults, AnUnselectedChannelComesOutAsItWentIn) {
    const std::vector<double> input = stereoNoise(20000);
    write("in.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    for (const char* module : {"1", "2", "3"}) {
        for (int selected = 0; selected < 2; ++selected) {
            const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --quiet --module " + module +
                                      " --channels " + (selected ? "R" : "L"));
            ASSERT_EQ(r.status, 0) << r.err;
            const std::vector<double> out = read("out.wav");
            ASSERT_EQ(out.size(), input.size());
            int changed = 0, differing = 0;
            for (size_t i = 0; i < input.size(); i += 2) {
                differing += out[i + 1 - selected] != input[i + 1 - selected];
                changed += out[i + selected] != input[i + selected];
            }
            EXPECT_EQ(differing, 0) << "module " << module << ", unselected channel " << 1 - selected;
            if (module[0] != '1') {
                EXPECT_GT(changed, 1000) << "module " << module << " processed its channel";
            }
        }
    }
}

}  // namespace
