// BlockEffect: queueing, framing, windowed overlap-add, the emit
// rule and the frame counter, driven through process() with real signals.
#include "framework/block_effect.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "framework/real_fft.h"
#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

constexpr int kCapacity = 5000;

// A subclass that changes nothing but records what the base hands it.
class Recorder : public BlockEffect {
public:
    using BlockEffect::BlockEffect;
    void processFrame(int channelMask) override {
        ++frames;
        lastMask = channelMask;
    }
    const double* windowValues() const { return window(); }
    int frames = 0;
    int lastMask = -1;
};

// Scales the selected channels' planes by a factor (mode 2 shows it exactly).
class Scaler : public BlockEffect {
public:
    Scaler(double factor, int channels)
        : BlockEffect(44100.0, 0.025, 0.85, channels, kCapacity, kFrameReplace), factor_(factor) {}
    void processFrame(int channelMask) override {
        for (int c = 0; c < channelCount(); ++c) {
            if (!channelSelected(c, channelMask)) continue;
            double* plane = framePlane(c);
            for (int k = 0; k < frameLength(); ++k) plane[k] *= factor_;
        }
    }

private:
    double factor_;
};

// Scales every plane by a factor that setParameters stores and redesign applies.
class RedesignedScaler : public BlockEffect {
public:
    RedesignedScaler() : BlockEffect(44100.0, 0.025, 0.85, 1, kCapacity, kFrameReplace) {}
    void setParameters(const double* values) override {
        stored_ = values[0];
        requestRedesign();
    }
    void processFrame(int) override {
        for (int k = 0; k < frameLength(); ++k) framePlane(0)[k] *= factor_;
    }
    int redesigns = 0;

protected:
    void captureDesignRequest() override { request_ = stored_; }
    void buildDesign() override { staged_ = request_; }
    void swapDesign() override {
        ++redesigns;
        factor_ = staged_;
    }

private:
    double stored_ = 1.0, request_ = 1.0, staged_ = 1.0, factor_ = 1.0;
};

// A ramp whose value is the frame index (the same on every channel, plus c/8).
std::vector<double> ramp(int frames, int channels) {
    std::vector<double> x(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) x[static_cast<size_t>(i) * channels + c] = i + c / 8.0;
    return x;
}

// Streams x through the effect in blocks of the given sizes (cycled, in frames)
// with outCapacity = inCount, checks that every call returns 0 or the whole
// block, and returns the concatenated output.
std::vector<double> stream(BlockEffect& effect, const std::vector<double>& x, const std::vector<int>& blockFrames,
                           int channels, int mask = 3) {
    std::vector<double> output;
    std::vector<double> buffer;
    size_t pos = 0;
    for (size_t call = 0; pos < x.size(); ++call) {
        const size_t count = std::min(static_cast<size_t>(blockFrames[call % blockFrames.size()]) * channels,
                                      x.size() - pos);
        buffer.assign(x.begin() + pos, x.begin() + pos + count);
        const int result = effect.process(buffer.data(), buffer.data(), static_cast<int>(count),
                                          static_cast<int>(count), mask);
        EXPECT_TRUE(result == 0 || result == static_cast<int>(count)) << "call " << call << " returned " << result;
        if (call == 0) {
            EXPECT_EQ(result, 0) << "the first call returns 0";
        }
        output.insert(output.end(), buffer.begin(), buffer.begin() + result);
        pos += count;
    }
    return output;
}

// Takes everything queued for output, in whole frames of C samples, by
// asking with decreasing block sizes (a refused request changes nothing).
int drain(BlockEffect& effect, int channels) {
    std::vector<double> sink(1 << 16);
    int total = 0;
    for (int size = 1 << 13; size >= 1; size /= 2) {
        const int count = size * channels;
        while (effect.process(nullptr, sink.data(), 0, count, 3) == count) total += count;
    }
    return total;
}

}  // namespace

TEST(BlockEffectConstruction, FrameLengthsHopsAndSteps) {
    const int rates[] = {44100, 48000, 22050, 8000};
    const double durations[] = {0.01, 0.025, 0.03, 0.05, 0.1, 0.2};
    const int expected[6][4] = {{448, 480, 216, 80},     {1120, 1200, 560, 200},  {1344, 1440, 672, 240},
                                {2240, 2400, 1120, 400}, {4410, 4800, 2240, 800}, {8820, 9600, 4410, 1600}};
    for (int d = 0; d < 6; ++d)
        for (int r = 0; r < 4; ++r) {
            BlockEffect effect(rates[r], durations[d], 0.25, 2, kCapacity, kFrameOverlapAdd);
            EXPECT_EQ(effect.frameLength(), expected[d][r]) << rates[r] << " " << durations[d];
            EXPECT_EQ(effect.hop(), expected[d][r] / 4);
            EXPECT_EQ(effect.overlap(), expected[d][r] - expected[d][r] / 4);
        }
    BlockEffect declick(44100.0, 0.025, 0.85, 3, kCapacity, kFrameReplace);
    EXPECT_EQ(declick.frameLength(), 1120);
    EXPECT_EQ(declick.hop(), 952);
    EXPECT_EQ(declick.overlap(), 168);
    EXPECT_EQ(declick.inputStep(), 952 * 3);
    EXPECT_EQ(declick.outputStep(), 952 * 3);
    EXPECT_EQ(declick.channelCount(), 3);
    EXPECT_EQ(declick.frameCounter(), 0);
    EXPECT_EQ(declick.capacityA(), kCapacity);
    EXPECT_EQ(declick.capacityB(), kCapacity);
}

TEST(BlockEffectWindow, NormalisedBlackmanHarris) {
    for (double hopFraction : {0.25, 0.125, 0.5, 0.85}) {
        SCOPED_TRACE(hopFraction);
        Recorder effect(44100.0, 0.025, hopFraction, 1, kCapacity, kFrameOverlapAdd);
        const int n = effect.frameLength(), hop = effect.hop();
        const double* w = effect.windowValues();
        std::vector<double> raw(n);
        for (int k = 0; k < n; ++k) {
            const double a = 2.0 * testsignals::kPi * k / (n - 1);
            raw[k] = 0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
        }
        for (int r = 0; r < hop; ++r) {
            double sum = 0.0, rawSum = 0.0;
            for (int k = r; k < n; k += hop) {
                sum += w[k] * w[k];
                rawSum += raw[k] * raw[k];
            }
            ASSERT_NEAR(sum, 1.0, 1e-12) << "residue " << r;
            for (int k = r; k < n; k += hop) ASSERT_NEAR(w[k], raw[k] / std::sqrt(rawSum), 1e-12) << k;
        }
        EXPECT_NEAR(w[0], w[n - 1], 1e-12 * w[n / 2]);
    }
    Recorder replace(44100.0, 0.025, 0.85, 1, kCapacity, kFrameReplace);
    EXPECT_EQ(replace.windowValues(), nullptr);
}

TEST(BlockEffectIdentity, OverlapAddReturnsTheInput) {
    struct Case {
        double rate, duration, hop;
        int channels;
    } cases[] = {{44100, 0.025, 0.25, 2}, {44100, 0.05, 0.125, 1}, {48000, 0.2, 0.5, 2}, {22050, 0.01, 0.25, 3}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.rate << " " << k.duration << " " << k.hop << " " << k.channels);
        Recorder effect(k.rate, k.duration, k.hop, k.channels, kCapacity, kFrameOverlapAdd);
        const std::vector<double> x = testsignals::noise(40000, k.channels, 32767.0, 5);
        const std::vector<double> y = stream(effect, x, {1000, 576, 3000, 1}, k.channels);
        ASSERT_GT(y.size(), x.size() / 2);
        double worst = 0.0;
        for (size_t i = 0; i < y.size(); ++i) worst = std::max(worst, std::fabs(y[i] - x[i]));
        EXPECT_LE(worst, 1e-9);
        EXPECT_EQ(effect.lastMask, 3);
    }
}

TEST(BlockEffectIdentity, ReplacementReturnsTheInputExactly) {
    for (int channels : {1, 2}) {
        for (double hop : {0.85, 0.25}) {
            Recorder effect(44100.0, 0.025, hop, channels, kCapacity, kFrameReplace);
            const std::vector<double> x = testsignals::noise(30000, channels, 32767.0, 9);
            const std::vector<double> y = stream(effect, x, {1152, 100, 4410}, channels);
            ASSERT_GT(y.size(), x.size() / 2);
            EXPECT_TRUE(std::equal(y.begin(), y.end(), x.begin())) << channels << " " << hop;
        }
    }
}

TEST(BlockEffectProcess, TheSubclassSeesPlanesAndTheMask) {
    Scaler effect(2.0, 2);
    const std::vector<double> x = testsignals::noise(20000, 2, 1000.0, 3);
    const std::vector<double> y = stream(effect, x, {1024}, 2, 2);
    ASSERT_GT(y.size(), 0u);
    for (size_t i = 0; i < y.size(); i += 2) {
        ASSERT_EQ(y[i], x[i]);              // left (mask bit 1 clear) untouched
        ASSERT_EQ(y[i + 1], 2.0 * x[i + 1]);  // right scaled
    }
}

TEST(BlockEffectProcess, ARequestedRedesignRunsOnceBeforeTheFirstFrame) {
    RedesignedScaler effect;
    const double values[] = {-0.5};
    effect.setParameters(values);
    EXPECT_EQ(effect.redesigns, 0);
    // Blocks of 1024 run a frame in the very first call, so every frame is scaled
    // only if the redesign comes before it.
    const std::vector<double> x = testsignals::noise(20000, 1, 1000.0, 6);
    const std::vector<double> y = stream(effect, x, {1024}, 1);
    ASSERT_GT(y.size(), 0u);
    for (size_t i = 0; i < y.size(); ++i) ASSERT_EQ(y[i], -0.5 * x[i]) << i;
    EXPECT_EQ(effect.redesigns, 1);
}

TEST(BlockEffectEmit, CountsPerFrame) {
    struct Case {
        double duration, hopFraction;
        int n, hop, q;
    } cases[] = {{0.025, 0.25, 1120, 280, 3}, {0.025, 0.85, 1120, 952, 0}, {0.05, 0.125, 2240, 280, 7}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.hopFraction);
        const int channels = 2;
        Recorder effect(44100.0, k.duration, k.hopFraction, channels, kCapacity, kFrameOverlapAdd);
        ASSERT_EQ(effect.frameLength(), k.n);
        ASSERT_EQ(effect.hop(), k.hop);
        const int step = effect.inputStep();
        std::vector<double> block = testsignals::noise(k.hop, channels, 100.0);
        // The first step only fills the queue; each later step runs one frame.
        EXPECT_EQ(effect.process(block.data(), block.data(), step, step, 3), 0);
        EXPECT_EQ(effect.frames, 0);
        const int overlap = k.n - k.hop;
        for (int t = 0; t < k.q + 4; ++t) {
            std::vector<double> again = testsignals::noise(k.hop, channels, 100.0, t + 2);
            effect.process(again.data(), again.data(), step, 1 << 30, 3);  // never served: too large
            ASSERT_EQ(effect.frames, t + 1);
            ASSERT_EQ(effect.frameCounter(), t + 1);
            const int emitted = drain(effect, channels) / channels;
            if (t < k.q)
                EXPECT_EQ(emitted, 0) << "frame " << t;
            else if (t == k.q)
                EXPECT_EQ(emitted, (k.q + 1) * k.hop - overlap) << "frame " << t;
            else
                EXPECT_EQ(emitted, k.hop) << "frame " << t;
        }
    }
}

TEST(BlockEffectProcess, AnExactMultipleOfTheStepKeepsItsLastStep) {
    Recorder effect(44100.0, 0.025, 0.25, 2, kCapacity, kFrameOverlapAdd);
    const int step = effect.inputStep();
    std::vector<double> x = testsignals::noise(4 * effect.hop(), 2, 100.0);
    effect.process(x.data(), x.data(), 4 * step, 4 * step, 3);
    EXPECT_EQ(effect.frames, 3);  // four steps queued, the fourth waits
    effect.process(nullptr, x.data(), 0, 4 * step, 3);
    EXPECT_EQ(effect.frames, 3);
    std::vector<double> one(2, 1.0);
    effect.process(one.data(), one.data(), 2, 2, 3);  // one more sample frame frees it
    EXPECT_EQ(effect.frames, 4);
}

TEST(BlockEffectProcess, FirstCallReturnsZeroAndLargeBlocksGrowTheQueues) {
    for (int mode : {kFrameOverlapAdd, kFrameReplace}) {
        Recorder effect(44100.0, 0.025, 0.85, 2, kCapacity, mode);
        std::vector<double> x = testsignals::noise(30000, 2, 1000.0, 4);
        const std::vector<double> original = x;
        EXPECT_EQ(effect.process(x.data(), x.data(), 60000, 60000, 3), 0);
        // Both queues grow to exactly the need: the input to the queued 60000,
        // the output to (60000 / I) x O = 31 x 1904 values.
        EXPECT_EQ(effect.capacityA(), 60000);
        EXPECT_EQ(effect.capacityB(), 31 * 1904);
        EXPECT_EQ(effect.frames, 31);  // 31 whole steps; the 976 values after them wait
        // The queued output covers all consumed input; a smaller request is served.
        std::vector<double> out(20000);
        EXPECT_EQ(effect.process(nullptr, out.data(), 0, 20000, 3), 20000);
        for (int i = 0; i < 20000; ++i) ASSERT_NEAR(out[i], original[i], 1e-9);
    }
}

TEST(BlockEffectFrameCounter, SettingItToZeroSkipsOneOverlap) {
    for (int mode : {kFrameReplace, kFrameOverlapAdd}) {
        SCOPED_TRACE(mode);
        const int channels = 2;
        const std::vector<double> x = ramp(60000, channels);
        const std::vector<double> rest(x.begin() + static_cast<long>(x.size() / 2), x.end());
        std::vector<double> first(x.begin(), x.begin() + static_cast<long>(x.size() / 2));
        Recorder effect2(44100.0, 0.025, 0.25, channels, kCapacity, mode);
        const int overlap = effect2.overlap();
        ASSERT_EQ(overlap, 840);
        std::vector<double> out1 = stream(effect2, first, {512}, channels);
        ASSERT_GT(out1.size(), 0u);
        // Restart the count while running, then continue with the rest of the ramp.
        effect2.setFrameCounter(0);
        EXPECT_EQ(effect2.frameCounter(), 0);
        std::vector<double> buffer;
        std::vector<double> out2;
        for (size_t pos = 0; pos < rest.size(); pos += 512 * channels) {
            const size_t count = std::min<size_t>(512 * channels, rest.size() - pos);
            buffer.assign(rest.begin() + static_cast<long>(pos), rest.begin() + static_cast<long>(pos + count));
            const int r = effect2.process(buffer.data(), buffer.data(), static_cast<int>(count),
                                          static_cast<int>(count), 3);
            ASSERT_TRUE(r == 0 || r == static_cast<int>(count));
            out2.insert(out2.end(), buffer.begin(), buffer.begin() + r);
        }
        std::vector<double> all = out1;
        all.insert(all.end(), out2.begin(), out2.end());
        // The output is the ramp with exactly one jump of overlap + 1 frames.
        int jumps = 0;
        for (size_t i = channels; i < all.size(); i += channels) {
            const double step = all[i] - all[i - channels];
            if (std::fabs(step - 1.0) < 1e-6) continue;
            ++jumps;
            EXPECT_NEAR(step, overlap + 1.0, 1e-6) << "at output frame " << i / channels;
        }
        EXPECT_EQ(jumps, 1);
        for (size_t i = 0; i < all.size(); ++i) {
            const double whole = all[i] - (i % channels) / 8.0;
            ASSERT_NEAR(whole, std::round(whole), 1e-6);
        }
        EXPECT_NEAR(all[0], 0.0, 1e-9);
    }
}

TEST(BlockEffectReset, ReturnsToTheConstructedState) {
    Recorder effect(44100.0, 0.025, 0.25, 2, kCapacity, kFrameOverlapAdd);
    const std::vector<double> noise = testsignals::noise(20000, 2, 5000.0, 21);
    stream(effect, noise, {700}, 2);
    EXPECT_GT(effect.frameCounter(), 0);
    EXPECT_EQ(effect.reset(), 0);
    EXPECT_EQ(effect.frameCounter(), 0);
    Recorder fresh(44100.0, 0.025, 0.25, 2, kCapacity, kFrameOverlapAdd);
    const std::vector<double> x = testsignals::sine(20000, 2, 44100.0, 440.0, 10000.0);
    const std::vector<double> a = stream(effect, x, {1000}, 2);
    const std::vector<double> b = stream(fresh, x, {1000}, 2);
    EXPECT_EQ(a, b);
}

TEST(BlockEffectAllocation, SteadyStateProcessAllocatesNothing) {
    for (int mode : {kFrameOverlapAdd, kFrameReplace}) {
        Recorder effect(44100.0, 0.025, 0.25, 2, kCapacity, mode);
        std::vector<double> x = testsignals::noise(1152, 2, 1000.0);
        for (int i = 0; i < 20; ++i) effect.process(x.data(), x.data(), 2304, 2304, 3);
        const long before = allocprobe::threadAllocations();
        for (int i = 0; i < 50; ++i) effect.process(x.data(), x.data(), 2304, 2304, 3);
        EXPECT_EQ(allocprobe::threadAllocations(), before) << mode;
    }
}
