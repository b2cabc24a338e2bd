#include "effects/restoration/de_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/effects/restoration/stream_runner.h"
#include "tests/support/test_signals.h"

namespace {

using restorationtest::runStream;

constexpr double kRate = 44100.0;
constexpr int kHop = 280;  // N = 1120 at 44100 Hz, hop fraction 0.25

double decibels(double ratio) { return 20.0 * std::log10(ratio); }

void setParameters(DeNoise& denoise, double thresh, double noiseLength) {
    const double values[] = {thresh, noiseLength};
    denoise.setParameters(values);
}

// Feeds one hop per call; after call k (k >= 1) frames 0 .. k - 2 have run,
// since the last step of queued input always waits for more.
struct HopFeeder {
    DeNoise& denoise;
    int channels;
    std::vector<double> block;
    std::vector<double> output;
    const std::vector<double>& input;
    size_t position = 0;

    bool feed() {
        const size_t count = static_cast<size_t>(kHop) * channels;
        if (position + count > input.size()) return false;
        block.assign(input.begin() + position, input.begin() + position + count);
        position += count;
        const int produced = denoise.process(block.data(), block.data(), static_cast<int>(count),
                                             static_cast<int>(count), 3);
        output.insert(output.end(), block.begin(), block.begin() + produced);
        return true;
    }
};

TEST(DeNoise, DescriptorsAndConstructionValues) {
    DeNoise denoise(kRate, 2);
    ParamDescriptor d[kMaxParameters];
    ASSERT_EQ(denoise.describeParameters(d), 2);
    EXPECT_STREQ(d[0].name, "Thresh");
    EXPECT_EQ(d[0].max, 1.0);
    EXPECT_EQ(d[0].min, 0.0);
    EXPECT_EQ(d[0].defaultValue, 0.5);
    EXPECT_STREQ(d[1].name, "NoiseLen");
    EXPECT_EQ(d[1].max, 1.0);
    EXPECT_EQ(d[1].min, 0.05);
    EXPECT_EQ(d[1].defaultValue, 0.2);
    // The module learns for 0.25 s until the first setParameters.
    EXPECT_EQ(denoise.thresh(), 0.5);
    EXPECT_EQ(denoise.noiseLength(), 0.25);
    EXPECT_FALSE(denoise.captured());
    EXPECT_EQ(denoise.frameLength(), 1120);
    EXPECT_EQ(denoise.hop(), kHop);
}

// Learned frames per frame counter: frames first .. last are learned and
// captured is set by frame last + 1.
void expectLearningWindow(double noiseLength, int first, int last) {
    DeNoise denoise(kRate, 1);
    if (noiseLength > 0) setParameters(denoise, 0.5, noiseLength);
    const std::vector<double> noise = testsignals::noise(kHop * (last + 10), 1, 1000.0);
    HopFeeder feeder{denoise, 1, {}, {}, noise};
    ASSERT_TRUE(feeder.feed());
    for (int frame = 0; frame <= last + 5; ++frame) {
        ASSERT_TRUE(feeder.feed());
        ASSERT_EQ(denoise.frameCounter(), frame + 1);
        const int expected = frame < first ? 0 : std::min(frame, last) - first + 1;
        EXPECT_EQ(denoise.learnedFrameCount(), expected) << "after frame " << frame;
        EXPECT_EQ(denoise.captured(), frame > last) << "after frame " << frame;
    }
}

TEST(DeNoise, LearningWindowFollowsNoiseLength) {
    expectLearningWindow(0.2, 4, 35);   // F = floor(31.5) = 31
    expectLearningWindow(0.05, 4, 11);  // F = floor(7.875) = 7
    expectLearningWindow(-1, 4, 43);    // construction value 0.25: F = 39
}

TEST(DeNoise, OutputIsSilentWhileLearning) {
    DeNoise denoise(kRate, 2);
    setParameters(denoise, 0.5, 0.2);
    const std::vector<double> noise = testsignals::noise(44100, 2, 1000.0);
    const std::vector<double> out = runStream(denoise, noise, 2);
    // Frames 0 .. 36 are silent; frame 37 covers the input from
    // 38 * 280 - 1120 = 9520 on, about 0.216 s; from 10360 (0.235 s) on every
    // frame that overlaps a sample is a suppressing one.
    for (int i = 0; i < 2 * 9520; ++i) ASSERT_EQ(out[i], 0.0) << "sample " << i;
    EXPECT_NE(out[2 * 9520], 0.0);
    EXPECT_GT(testsignals::rms(out, 2 * 10360, 1, 2 * 20000), 0.0);
}

TEST(DeNoise, SuppressesLearnedNoiseAndPassesLaterTone) {
    const int frames = 3 * 44100;
    std::vector<double> input = testsignals::noise(frames, 1, 1000.0, 3);  // about -33 dBFS RMS
    const std::vector<double> tone = testsignals::sine(frames, 1, kRate, 1000.0, 8000.0);
    std::vector<double> toneOnly(frames, 0.0);
    for (int i = 2 * 44100; i < frames; ++i) {
        input[i] += tone[i];
        toneOnly[i] = tone[i];
    }
    DeNoise denoise(kRate, 1);
    setParameters(denoise, 0.5, 0.2);
    const std::vector<double> out = runStream(denoise, input, 1);

    // Noise alone, well after capture (0.5 s .. 1.9 s).
    const double noiseIn = testsignals::rms(input, 22050, 1, 83790);
    const double noiseOut = testsignals::rms(out, 22050, 1, 83790);
    EXPECT_LT(decibels(noiseOut / noiseIn), -15.0);

    // The tone, from 0.1 s after it starts until the output ends.
    const size_t from = 2 * 44100 + 4410;
    const size_t to = frames - 4410;
    double toneLevel = 0.0, outputOnTone = 0.0;
    for (size_t i = from; i < to; ++i) {
        toneLevel += toneOnly[i] * toneOnly[i];
        outputOnTone += out[i] * toneOnly[i];
    }
    // Projection of the output on the tone: its level in the output.
    EXPECT_NEAR(decibels(outputOnTone / toneLevel), 0.0, 1.0);
    EXPECT_NEAR(decibels(testsignals::rms(out, from, 1, to) / testsignals::rms(toneOnly, from, 1, to)), 0.0, 1.0);
}

TEST(DeNoise, ZeroThreshPassesSignal) {
    std::vector<double> input = testsignals::noise(44100, 2, 1000.0, 4);
    const std::vector<double> tone = testsignals::sine(44100, 2, kRate, 440.0, 5000.0);
    for (size_t i = 0; i < input.size(); ++i) input[i] += tone[i];
    DeNoise denoise(kRate, 2);
    setParameters(denoise, 0.0, 0.05);
    const std::vector<double> out = runStream(denoise, input, 2);
    // Captured at frame 12; from frame 16 on every frame is passed.
    double worst = 0.0;
    for (size_t i = 2 * 16 * kHop; i < 2 * 40000; ++i) worst = std::max(worst, std::fabs(out[i] - input[i]));
    EXPECT_LT(worst, 1e-6);
}

// Stored settings may hold a strength past the slider (up to 2 through the
// hold every caller applies); full-scale noise between quiet stretches then
// drove the gain through a division by zero.
TEST(DeNoise, AStrengthPastItsRangeStaysFinite) {
    DeNoise denoise(kRate, 2);
    const double values[] = {2.0, 0.85};
    denoise.applyParameters(values);
    const int n = 2 * 1719;
    std::vector<double> block(2 * n);
    uint32_t state = 1;
    for (int round = 0; round < 300; ++round) {
        for (int i = 0; i < n; ++i) {
            state = state * 214013u + 2531011u;
            block[i] = static_cast<int32_t>(state) * (round % 7 == 0 ? 1.0 : 1e-3 * (i % 50));
        }
        const int produced = denoise.process(block.data(), block.data(), n, 2 * n, 3);
        for (int i = 0; i < produced; ++i) ASSERT_TRUE(std::isfinite(block[i])) << "round " << round;
    }
}

TEST(DeNoise, MaskOneLearnsAndProcessesLeftOnly) {
    const int frames = 2 * 44100;
    const std::vector<double> left = testsignals::noise(frames, 1, 1000.0, 5);
    const std::vector<double> right = testsignals::sine(frames, 1, kRate, 300.0, 6000.0);
    std::vector<double> input(2 * frames);
    for (int i = 0; i < frames; ++i) {
        input[2 * i] = left[i];
        input[2 * i + 1] = right[i];
    }
    DeNoise denoise(kRate, 2);
    setParameters(denoise, 0.5, 0.2);
    // The framework's own treatment of an untouched plane.
    BlockEffect untouched(kRate, 0.025, 0.25, 2, 5000, kFrameOverlapAdd);

    std::vector<double> block, reference, out;
    for (int b = 0; b * kHop < frames; ++b) {
        const int count = 2 * std::min(kHop, frames - b * kHop);
        block.assign(input.begin() + 2 * b * kHop, input.begin() + 2 * b * kHop + count);
        std::vector<double> copy = block;
        out.insert(out.end(), block.begin(), block.begin() + denoise.process(block.data(), block.data(), count, count, 1));
        reference.insert(reference.end(), copy.begin(),
                         copy.begin() + untouched.process(copy.data(), copy.data(), count, count, 1));
        // Learning ends with frame 36 (counter 37 after it), as with both channels.
        if (denoise.frameCounter() == 36) {
            EXPECT_FALSE(denoise.captured());
        } else if (denoise.frameCounter() == 37) {
            EXPECT_TRUE(denoise.captured());
        }
    }
    ASSERT_EQ(out.size(), reference.size());
    for (size_t i = 1; i < out.size(); i += 2) ASSERT_EQ(out[i], reference[i]) << "right sample " << i / 2;
    // Left: silent while learning, then suppressed.
    for (size_t i = 0; i < 2 * 9520; i += 2) ASSERT_EQ(out[i], 0.0);
    EXPECT_LT(decibels(testsignals::rms(out, 2 * 22050, 2, 2 * 80000) / testsignals::rms(left, 22050, 1, 80000)),
              -15.0);
}

TEST(DeNoise, SnapNoiseRelearnsAndSkipsOneOverlap) {
    const std::vector<double> input = testsignals::noise(3 * 44100, 2, 1000.0, 6);
    DeNoise snapped(kRate, 2);
    DeNoise plain(kRate, 2);
    setParameters(snapped, 0.5, 0.2);
    setParameters(plain, 0.5, 0.2);
    HopFeeder a{snapped, 2, {}, {}, input};
    HopFeeder b{plain, 2, {}, {}, input};
    for (int i = 0; i < 150; ++i) {
        ASSERT_TRUE(a.feed());
        ASSERT_TRUE(b.feed());
    }
    ASSERT_TRUE(snapped.captured());
    const int framesBefore = snapped.frameCounter();
    // Frames 3 .. t each emit one hop per channel.
    const size_t snapPoint = static_cast<size_t>(framesBefore - 3) * kHop * 2;
    snapped.snapNoise();
    EXPECT_FALSE(snapped.captured());
    EXPECT_EQ(snapped.learnedFrameCount(), 0);
    EXPECT_EQ(snapped.frameCounter(), 0);
    while (a.feed()) b.feed();

    // One overlap (840 samples per channel) is skipped.
    EXPECT_EQ(b.output.size() - a.output.size(), 2u * 840);
    ASSERT_GT(a.output.size(), snapPoint + 2 * 9520 + 2);
    EXPECT_NE(a.output[snapPoint - 2], 0.0);
    // Frames 3 .. 36 after the snap emit silence: 34 hops.
    for (size_t i = snapPoint; i < snapPoint + 2 * 34 * kHop; ++i) ASSERT_EQ(a.output[i], 0.0) << i;
    EXPECT_NE(a.output[snapPoint + 2 * 34 * kHop], 0.0);
    EXPECT_TRUE(snapped.captured());
    EXPECT_EQ(snapped.learnedFrameCount(), 32);
}

TEST(DeNoise, DcAndNyquistKeepTheirSign) {
    const int frames = 44100;
    std::vector<double> input = testsignals::noise(frames, 1, 300.0, 8);
    // After capture: a negative offset and a negative half-rate component.
    for (int i = 22050; i < frames; ++i) input[i] += -4000.0 - 3000.0 * (i % 2 ? -1.0 : 1.0);
    DeNoise denoise(kRate, 1);
    setParameters(denoise, 0.5, 0.05);
    const std::vector<double> out = runStream(denoise, input, 1);
    double dc = 0.0, nyquist = 0.0;
    const int from = 26000, to = 40000;
    for (int i = from; i < to; ++i) {
        dc += out[i];
        nyquist += out[i] * (i % 2 ? -1.0 : 1.0);
    }
    EXPECT_NEAR(dc / (to - from), -4000.0, 40.0);
    EXPECT_NEAR(nyquist / (to - from), -3000.0, 30.0);
}

}  // namespace
