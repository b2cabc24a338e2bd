#include "effects/distortion/vibrato.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "registry/module_registry.h"
#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

using testsignals::kPi;

std::vector<double> run(Vibrato& v, std::vector<double> signal, int blockFrames, int mask = 3) {
    const int channels = v.channelCount();
    const int total = static_cast<int>(signal.size()) / channels;
    for (int start = 0; start < total; start += blockFrames) {
        const int frames = std::min(blockFrames, total - start);
        double* block = signal.data() + static_cast<size_t>(start) * channels;
        EXPECT_EQ(v.process(block, block, frames * channels, frames * channels, mask), frames * channels);
    }
    return signal;
}

// The modulated delay line computed directly on the whole mono signal, with
// silence before its start: y[i] = f x[i - di] + (1 - f) x[i - di + 1].
std::vector<double> referenceVibrato(const std::vector<double>& x, double rate, double frequency, double depth) {
    const int d = static_cast<int>(depth * rate);
    const int t = static_cast<int>(rate / frequency) + 1;
    auto sample = [&](long j) { return j >= 0 ? x[j] : 0.0; };
    std::vector<double> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const double delay = d * std::sin((i % t) * 2.0 * kPi / (t - 1)) + (d + 1);
        const int di = static_cast<int>(delay);
        const double f = delay - di;
        const long older = static_cast<long>(i) - di;
        y[i] = f * sample(older) + (1.0 - f) * sample(older + 1);
    }
    return y;
}

TEST(VibratoTest, DefaultSetupAt44100) {
    Vibrato v(44100.0, 2);
    EXPECT_EQ(v.depthSamples(), 44);
    EXPECT_EQ(v.historyLength(), 90);
    EXPECT_EQ(v.tableLength(), 5513);
    EXPECT_EQ(v.phase(), 0);
    ParamDescriptor d[kMaxParameters];
    ASSERT_EQ(v.describeParameters(d), 2);
    EXPECT_STREQ(d[0].name, "VibF");
    EXPECT_EQ(d[0].max, 20.0);
    EXPECT_EQ(d[0].min, 0.5);
    EXPECT_EQ(d[0].defaultValue, 8.0);
    EXPECT_STREQ(d[1].name, "Delay");
    EXPECT_EQ(d[1].max, -1.0);
    EXPECT_EQ(d[1].min, -5.0);
    EXPECT_EQ(d[1].defaultValue, -3.0);
    EXPECT_EQ(v.presetCount(), 0);
}

TEST(VibratoTest, ParameterChangesRebuildAtTheNextBlock) {
    Vibrato v(44100.0, 1);
    const double deep[] = {8.0, -1.0};
    v.setParameters(deep);
    EXPECT_EQ(v.depthSamples(), 44);  // nothing rebuilt yet
    v.process(nullptr, nullptr, 0, 0, 1);
    EXPECT_EQ(v.depthSamples(), 4410);
    EXPECT_EQ(v.historyLength(), 8822);

    const double slow[] = {0.5, -3.0};
    v.setParameters(slow);
    v.process(nullptr, nullptr, 0, 0, 1);
    EXPECT_EQ(v.tableLength(), 88201);
    EXPECT_EQ(v.depthSamples(), 44);
}

TEST(VibratoTest, ShallowestDelayGivesTheInputExactly) {
    Vibrato v(44100.0, 2);
    const double values[] = {8.0, -5.0};
    v.setParameters(values);
    const std::vector<double> input = testsignals::noise(10000, 2, 30000.0, 4);
    EXPECT_EQ(run(v, input, 576), input);
    EXPECT_EQ(v.depthSamples(), 0);
}

TEST(VibratoTest, OutputFollowsTheModulatedDelayAcrossBlocks) {
    const std::vector<double> input = testsignals::noise(30000, 1, 30000.0, 8);
    const std::vector<double> expected = referenceVibrato(input, 44100.0, 8.0, 0.001);
    for (int blockFrames : {1, 7, 89, 90, 91, 576, 6000}) {
        Vibrato v(44100.0, 1);
        const std::vector<double> output = run(v, input, blockFrames);
        double worst = 0.0;
        for (size_t i = 0; i < input.size(); ++i) worst = std::max(worst, std::fabs(output[i] - expected[i]));
        EXPECT_LT(worst, 1e-6) << blockFrames;  // on a scale of 30000
    }
}

TEST(VibratoTest, DelaySwingsBetweenZeroAndTwiceTheDepth) {
    // A click comes out between 0 and 2D + 1 samples later, never earlier or later.
    Vibrato v(44100.0, 1);
    const double values[] = {8.0, -2.0};  // D = 441
    v.setParameters(values);
    std::vector<double> click(4000, 0.0);
    click[1000] = 1.0;
    const std::vector<double> output = run(v, click, 500);
    EXPECT_EQ(v.depthSamples(), 441);
    double heard = 0.0;
    for (size_t i = 0; i < output.size(); ++i) {
        if (i < 1000 || i > 1000 + 2 * 441 + 1) {
            EXPECT_EQ(output[i], 0.0) << i;
        }
        heard = std::max(heard, output[i]);
    }
    EXPECT_GT(heard, 0.4);
}

TEST(VibratoTest, MaskTwoLeavesTheLeftChannelAndItsLine) {
    Vibrato v(44100.0, 2);
    const std::vector<double> input = testsignals::noise(1000, 2, 30000.0, 6);
    const std::vector<double> output = run(v, input, 1000, 2);
    double rightChange = 0.0;
    for (size_t i = 0; i < input.size(); i += 2) {
        EXPECT_EQ(output[i], input[i]);
        rightChange = std::max(rightChange, std::fabs(output[i + 1] - input[i + 1]));
    }
    EXPECT_GT(rightChange, 100.0);
    for (int k = 0; k < v.historyLength(); ++k) {
        EXPECT_EQ(v.history(0)[k], 0.0);
        EXPECT_EQ(v.history(1)[k], input[2 * (999 - k) + 1]);
    }
    EXPECT_EQ(v.phase(), 1000);  // the phase advances for every channel
}

TEST(VibratoTest, ShortAndLongBlocksLeaveTheSameHistory) {
    const std::vector<double> input = testsignals::noise(1000, 1, 30000.0, 10);
    for (int blockFrames : {7, 500}) {  // below and above L = 90
        Vibrato v(44100.0, 1);
        run(v, input, blockFrames);
        for (int k = 0; k < v.historyLength(); ++k) ASSERT_EQ(v.history(0)[k], input[999 - k]) << blockFrames;
        EXPECT_EQ(v.phase(), 1000);
    }
}

TEST(VibratoTest, PhaseWrapsAtTheTableLength) {
    Vibrato v(44100.0, 1);
    run(v, std::vector<double>(5000, 0.0), 2500);
    run(v, std::vector<double>(1000, 0.0), 1000);
    EXPECT_EQ(v.phase(), 6000 - 5513);
}

TEST(VibratoTest, SteadyStateAndShallowerRebuildsAllocateNothing) {
    Vibrato v(44100.0, 2);
    std::vector<double> block = testsignals::noise(576, 2, 20000.0, 3);
    v.process(block.data(), block.data(), 1152, 1152, 3);
    const long before = allocprobe::threadAllocations();
    for (int i = 0; i < 10; ++i) v.process(block.data(), block.data(), 1152, 1152, 3);
    const double shallower[] = {12.0, -4.0};  // smaller table and lines: the storage is reused
    v.setParameters(shallower);
    v.process(block.data(), block.data(), 1152, 1152, 3);
    EXPECT_EQ(allocprobe::threadAllocations() - before, 0);
    EXPECT_EQ(v.depthSamples(), 4);
}

TEST(VibratoTest, DelayIsShownInMicroseconds) {
    Vibrato v(44100.0, 2);
    EXPECT_NEAR(v.displayValue(1, -3.0), 1000.0, 1e-9);
    EXPECT_NEAR(v.displayValue(1, -5.0), 10.0, 1e-9);
    EXPECT_NEAR(v.displayValue(1, -1.0), 100000.0, 1e-6);
    EXPECT_EQ(v.displayValue(0, 8.0), 8.0);
}

TEST(VibratoTest, ResetSilencesTheLinesAndRestartsThePhase) {
    const std::vector<double> input = testsignals::noise(3000, 2, 30000.0, 12);
    Vibrato fresh(44100.0, 2);
    const std::vector<double> expected = run(fresh, input, 576);
    Vibrato used(44100.0, 2);
    run(used, testsignals::noise(777, 2, 30000.0, 1), 777);
    EXPECT_EQ(used.reset(), 0);
    EXPECT_EQ(used.phase(), 0);
    EXPECT_EQ(run(used, input, 576), expected);
}

TEST(VibratoTest, ValuesOutsideTheSliderRangesAreClamped) {
    Vibrato v(44100.0, 1);
    const double wild[] = {0.0, 3.0};
    v.setParameters(wild);
    v.process(nullptr, nullptr, 0, 0, 1);
    EXPECT_EQ(v.tableLength(), 88201);   // 0.5 Hz
    EXPECT_EQ(v.depthSamples(), 4410);  // 0.1 s
}

// Below the vibrato frequency the period is shorter than one sample: the
// table still has two entries and the output stays a number.
TEST(VibratoTest, SampleRatesBelowTheVibratoFrequencyGiveFiniteOutput) {
    for (int rate : {1, 2, 7}) {
        Vibrato v(rate, 1, 8.0, 0.001);
        const std::vector<double> out = run(v, std::vector<double>(16, 1000.0), 4);
        for (double x : out) ASSERT_TRUE(std::isfinite(x)) << rate << " Hz";
    }
}

TEST(VibratoTest, FactoryBuildsItAtTheStreamRate) {
    std::unique_ptr<EffectModule> module = createModule(16, 48000, 2);
    auto* vibrato = dynamic_cast<Vibrato*>(module.get());
    ASSERT_NE(vibrato, nullptr);
    EXPECT_EQ(vibrato->channelCount(), 2);
    EXPECT_EQ(vibrato->depthSamples(), 48);
    EXPECT_EQ(vibrato->tableLength(), 6001);
}

}  // namespace
