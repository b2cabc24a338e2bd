#include "effects/timepitch/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/effects/timepitch/time_pitch_stream.h"
#include "tests/support/test_signals.h"

namespace {

using timepitchtest::channel;
using timepitchtest::runBlocks;
using timepitchtest::toneFrequency;

constexpr double kRate = 44100.0;
constexpr int kBlock = 576;

void setRatio(Resampler& r, double ratio) {
    const double values[] = {ratio};
    r.setParameters(values);
}

TEST(Resampler, FactorOneReturnsTheInputLengthOnceTheFilterReachIsFilled) {
    Resampler resampler(2);
    const std::vector<double> input = testsignals::sine(40 * kBlock, 2, kRate, 1000.0, 10000.0);
    const timepitchtest::Stream s = runBlocks(resampler, input, 2);
    const int n = 2 * kBlock;
    EXPECT_EQ(s.produced[0], 0) << "the first block fills the converter's reach";
    EXPECT_GT(s.produced[1], n) << "the second brings the held-back samples with its own";
    for (size_t b = 2; b < s.produced.size(); ++b) ASSERT_EQ(s.produced[b], n) << "block " << b;
    // Output time 0 is input time 0: a tone well inside the pass band comes
    // back in place and at its level.
    double worst = 0.0;
    for (size_t i = 2 * 200; i < s.output.size(); ++i) worst = std::max(worst, std::fabs(s.output[i] - input[i]));
    EXPECT_LT(worst, 0.002 * 10000.0);
}

TEST(Resampler, FactorTwoReturnsTwiceEachBlockAtHalfTheFrequency) {
    Resampler resampler(2);
    setRatio(resampler, 1.0);
    const std::vector<double> input = testsignals::sine(100 * kBlock, 2, kRate, 1000.0, 10000.0);
    const timepitchtest::Stream s = runBlocks(resampler, input, 2);
    for (size_t b = 2; b < s.produced.size(); ++b) ASSERT_EQ(s.produced[b], 4 * kBlock) << "block " << b;
    const size_t frames = s.output.size() / 2;
    EXPECT_NEAR(toneFrequency(channel(s.output, 2, 1, 1000, frames), kRate), 500.0, 0.1);
}

TEST(Resampler, DownSampleDeliversInBurstsAboutThreeQuartersOfTheLength) {
    Resampler resampler(2);
    setRatio(resampler, -0.4);
    const int blocks = 400;
    const std::vector<double> input = testsignals::sine(blocks * kBlock, 2, kRate, 1000.0, 10000.0);
    const timepitchtest::Stream s = runBlocks(resampler, input, 2);
    const int n = 2 * kBlock;
    int empty = 0, doubled = 0;
    for (int got : s.produced) {
        empty += got == 0;
        doubled += got == 2 * n;
    }
    EXPECT_GT(empty, 10);
    EXPECT_GT(doubled, 10);
    EXPECT_NEAR(static_cast<double>(s.output.size()) / input.size(), std::pow(2.0, -0.4), 0.01);
    const size_t frames = s.output.size() / 2;
    EXPECT_NEAR(toneFrequency(channel(s.output, 2, 0, 1000, frames), kRate), 1000.0 / std::pow(2.0, -0.4), 0.1);
}

TEST(Resampler, UpSampleLowersAToneAndShowsItsFactor) {
    Resampler resampler(1);
    setRatio(resampler, 0.4);
    EXPECT_NEAR(resampler.displayValue(0, 0.4), 1.3195, 1e-4);
    EXPECT_EQ(resampler.displayValue(1, 0.4), 0.4);
    const std::vector<double> input = testsignals::sine(200 * kBlock, 1, kRate, 1000.0, 10000.0);
    const timepitchtest::Stream s = runBlocks(resampler, input, 1);
    EXPECT_NEAR(toneFrequency(channel(s.output, 1, 0, 1000), kRate), 1000.0 / std::pow(2.0, 0.4), 0.1);
    EXPECT_NEAR(resampler.lengthRatio(), std::pow(2.0, 0.4), 1e-12);
}

TEST(Resampler, AFactorChangeKeepsThePendingOutput) {
    // Two converters run alike; one is then moved to another factor. The
    // output queued before the change still comes out first, unchanged.
    Resampler kept(2), moved(2);
    setRatio(kept, -0.4);
    setRatio(moved, -0.4);
    const std::vector<double> input = testsignals::noise(60 * kBlock, 2, 8000.0, 3);
    const std::vector<double> head(input.begin(), input.begin() + 50 * 2 * kBlock);
    runBlocks(kept, head, 2);
    runBlocks(moved, head, 2);
    const int queued = moved.extraOutput();
    ASSERT_GT(queued, 0);
    setRatio(moved, 0.7);
    std::vector<double> a(input.begin() + head.size(), input.begin() + head.size() + 2 * kBlock), b = a;
    a.resize(4 * kBlock);
    b.resize(4 * kBlock);
    const int capacity = timepitchtest::outputCapacity(queued, 2 * kBlock);
    const int gotKept = kept.process(a.data(), a.data(), 2 * kBlock, capacity, 3);
    const int gotMoved = moved.process(b.data(), b.data(), 2 * kBlock, capacity, 3);
    ASSERT_GE(gotKept, queued);
    ASSERT_GE(gotMoved, queued);
    for (int i = 0; i < queued; ++i) ASSERT_EQ(a[i], b[i]) << "sample " << i;
    EXPECT_NEAR(moved.factor(), std::pow(2.0, 0.7), 1e-12);
}

TEST(Resampler, TheSameFactorAgainLeavesTheStreamAlone) {
    // A preset or a rebuild hands over the value in force: nothing is dropped.
    Resampler kept(2), touched(2);
    setRatio(kept, 0.4);
    setRatio(touched, 0.4);
    const std::vector<double> input = testsignals::noise(40 * kBlock, 2, 8000.0, 6);
    const std::vector<double> head(input.begin(), input.begin() + input.size() / 2);
    const std::vector<double> tail(input.begin() + input.size() / 2, input.end());
    runBlocks(kept, head, 2);
    runBlocks(touched, head, 2);
    setRatio(touched, 0.4);
    EXPECT_EQ(runBlocks(kept, tail, 2).output, runBlocks(touched, tail, 2).output);
}

TEST(Resampler, EveryChannelOfAWideStreamHasItsOwnConverter) {
    // Five channels, a tone of its own on each: each comes out halved.
    const int channels = 5;
    Resampler resampler(channels);
    setRatio(resampler, 1.0);
    const int frames = 60 * kBlock;
    std::vector<double> input(static_cast<size_t>(frames) * channels);
    for (int c = 0; c < channels; ++c) {
        const std::vector<double> tone = testsignals::sine(frames, 1, kRate, 600.0 + 400.0 * c, 1000.0 * (c + 1));
        for (int i = 0; i < frames; ++i) input[static_cast<size_t>(i) * channels + c] = tone[i];
    }
    const timepitchtest::Stream s = runBlocks(resampler, input, channels);
    const size_t outFrames = s.output.size() / channels;
    ASSERT_GT(outFrames, static_cast<size_t>(frames));
    for (int c = 0; c < channels; ++c) {
        const std::vector<double> out = channel(s.output, channels, c, 1000, outFrames);
        EXPECT_NEAR(toneFrequency(out, kRate), (600.0 + 400.0 * c) / 2.0, 0.1) << "channel " << c;
        EXPECT_NEAR(testsignals::rms(out), 1000.0 * (c + 1) / std::sqrt(2.0), 0.01 * 1000.0 * (c + 1));
    }
}

}  // namespace
