#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <atomic>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "host/display.h"
#include "host/engine.h"
#include "host/sample_pipeline.h"
#include "registry/module_registry.h"
#include "../support/fake_effect.h"

namespace {

// Records what the pipeline asks of the control window.
class RecordingDisplay : public Display {
public:
    void paintMeters(int left, int leftLast, int right, int rightLast) override {
        ++paints;
        lastLeft = left;
        lastRight = right;
        previousLeft = leftLast;
        previousRight = rightLast;
    }
    void layoutChannelButtons(int channels) override { layouts.push_back(channels); }
    void showError(const char* text) override { errors.push_back(text); }
    int paints = 0, lastLeft = -1, lastRight = -1, previousLeft = -1, previousRight = -1;
    std::vector<int> layouts;
    std::vector<std::string> errors;
};

class SamplePipelineTest : public ::testing::Test {
protected:
    // Installs a fake module as if built for 44100 Hz stereo.
    FakeEffect* installFake() {
        auto module = std::make_unique<FakeEffect>(0, std::vector<ParamDescriptor>{});
        FakeEffect* raw = module.get();
        engine.adoptModule(std::move(module));
        return raw;
    }
    bool fakeInForce() {
        return engine.withModule([](EffectModule* m) { return dynamic_cast<FakeEffect*>(m) != nullptr; });
    }
    RecordingDisplay display;
    Engine engine{&display};
};

std::vector<int16_t> stereoBlock(int frames) {
    std::vector<int16_t> block(2 * 2 * frames, 0);  // room for twice the frames
    for (int i = 0; i < 2 * frames; ++i) block[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
    return block;
}

TEST_F(SamplePipelineTest, LevelTuningAtUnityGainIsBitIdentical) {
    std::vector<int16_t> block = stereoBlock(1000);
    const std::vector<int16_t> original = block;
    EXPECT_EQ(engine.modifySamples(block.data(), 1000, 16, 2, 44100), 1000);
    EXPECT_EQ(block, original);
    ASSERT_TRUE(engine.snapshot().hasModule) << "the first block builds the module";
}

TEST_F(SamplePipelineTest, GainClampsAndTruncatesTowardZero) {
    int16_t block[8] = {20000, -20000, 10001, -10001};
    engine.setMasterGain(2.0);
    engine.modifySamples(block, 1, 16, 2, 44100);
    EXPECT_EQ(block[0], 32767);
    EXPECT_EQ(block[1], -32768);
    engine.setMasterGain(1.5);
    block[0] = 10001;
    block[1] = -10001;
    engine.modifySamples(block, 1, 16, 2, 44100);
    EXPECT_EQ(block[0], 15001);
    EXPECT_EQ(block[1], -15001);
}

TEST_F(SamplePipelineTest, MaskGainsOnlySelectedChannelsAndPassBypasses) {
    installFake();
    int16_t block[8] = {1000, 1000, -1000, -1000};
    engine.setMasterGain(2.0);
    engine.setChannelMask(1);
    engine.modifySamples(block, 2, 16, 2, 44100);
    EXPECT_EQ(block[0], 2000);
    EXPECT_EQ(block[1], 1000) << "right channel must not be gained with mask 1";
    EXPECT_EQ(block[2], -2000);
    EXPECT_EQ(block[3], -1000);

    // PASS: untouched, no module call, even for a module that changes length.
    FakeEffect* fake = installFake();
    fake->producedOverride = 0;
    fake->extra = 5000;
    engine.setChannelMask(0);
    int16_t pass[8] = {5, 6, 7, 8};
    EXPECT_EQ(engine.modifySamples(pass, 2, 16, 2, 44100), 2);
    EXPECT_EQ(pass[0], 5);
    EXPECT_EQ(pass[3], 8);
    EXPECT_EQ(fake->processCalls, 0);
    EXPECT_GT(display.paints, 0) << "PASS still updates the meters";
}

TEST_F(SamplePipelineTest, OutputCapacityFollowsExtraOutput) {
    FakeEffect* fake = installFake();
    std::vector<int16_t> block = stereoBlock(500);  // n = 1000 samples
    fake->extra = 300;
    engine.modifySamples(block.data(), 500, 16, 2, 44100);
    EXPECT_EQ(fake->lastOutCapacity, 1300);
    fake->extra = 5000;
    engine.modifySamples(block.data(), 500, 16, 2, 44100);
    EXPECT_EQ(fake->lastOutCapacity, 2000);
    fake->extra = -4;
    engine.modifySamples(block.data(), 500, 16, 2, 44100);
    EXPECT_EQ(fake->lastOutCapacity, 1000);
}

TEST_F(SamplePipelineTest, LongerOutputIsReturnedAndConvertedInFull) {
    FakeEffect* fake = installFake();
    fake->extra = 5000;
    std::vector<int16_t> block = stereoBlock(100);
    // The base process returns outCapacity: the second half holds whatever
    // the work buffer held, which must still be written to the host buffer.
    EXPECT_EQ(engine.modifySamples(block.data(), 100, 16, 2, 44100), 200);
}

TEST_F(SamplePipelineTest, ZeroProducedReturnsZeroWithoutPaintingMeters) {
    FakeEffect* fake = installFake();
    fake->producedOverride = 0;
    std::vector<int16_t> block = stereoBlock(100);
    const std::vector<int16_t> original = block;
    EXPECT_EQ(engine.modifySamples(block.data(), 100, 16, 2, 44100), 0);
    EXPECT_EQ(display.paints, 0);
    EXPECT_EQ(block, original);
}

TEST_F(SamplePipelineTest, ProducedCountBeyondCapacityIsCut) {
    FakeEffect* fake = installFake();
    fake->producedOverride = 1 << 20;
    std::vector<int16_t> block = stereoBlock(100);
    EXPECT_EQ(engine.modifySamples(block.data(), 100, 16, 2, 44100), 100);
}

TEST_F(SamplePipelineTest, MeterLevels) {
    int16_t silence[8] = {};
    engine.modifySamples(silence, 2, 16, 2, 44100);
    EXPECT_EQ(display.lastLeft, 0);
    EXPECT_EQ(display.lastRight, 0);
    int16_t loud[8] = {-32768, 16384};
    engine.modifySamples(loud, 1, 16, 2, 44100);
    EXPECT_EQ(display.lastLeft, 100);
    EXPECT_EQ(display.lastRight, 93) << "-6.02 dB + 100, truncated";
    EXPECT_EQ(display.previousLeft, 0);
    EXPECT_EQ(display.lastLeft, 100);
    // The reset flag makes the next block paint from the bottom.
    engine.requestMeterReset();
    engine.modifySamples(loud, 1, 16, 2, 44100);
    EXPECT_EQ(display.previousLeft, 0);
    EXPECT_FALSE(engine.meterResetPending());
    EXPECT_EQ(meterLevel(1.0, 32768.0), 9) << "-90.3 dB";
    EXPECT_EQ(meterLevel(0.5, 32768.0), 3);
}

TEST_F(SamplePipelineTest, FormatChangesRebuildAndLayOutChannels) {
    int16_t block[8] = {100, 200, 300, 400};
    installFake();
    engine.modifySamples(block, 2, 16, 2, 44100);
    EXPECT_TRUE(fakeInForce()) << "same format: no rebuild";
    const double value = 7.5;
    engine.setParameterValues(&value, 1);
    engine.setMasterGain(1.0);
    engine.modifySamples(block, 2, 16, 2, 48000);
    EXPECT_EQ(engine.sampleRate(), 48000);
    EXPECT_FALSE(fakeInForce()) << "a rate change rebuilds";
    EXPECT_EQ(engine.snapshot().values[0], 7.5);
    EXPECT_TRUE(display.layouts.empty());

    engine.setChannelMask(2);
    engine.modifySamples(block, 2, 16, 1, 48000);
    EXPECT_EQ(engine.channelCount(), 1);
    EXPECT_EQ(engine.channelMask(), 1);
    ASSERT_EQ(display.layouts.size(), 1u);
    EXPECT_EQ(display.layouts[0], 1);
    engine.modifySamples(block, 2, 16, 2, 48000);
    EXPECT_EQ(engine.channelMask(), 3);
}

TEST_F(SamplePipelineTest, EightBitBlocksAreOffsetBinary) {
    // 0x80 is silence; gain 2 doubles the distance from it.
    unsigned char block[16] = {0x80, 0x90, 0x70, 0x00, 0xFF, 0xC0};
    engine.setMasterGain(2.0);
    EXPECT_EQ(engine.modifySamples(reinterpret_cast<short*>(block), 3, 8, 2, 44100), 3);
    EXPECT_EQ(block[0], 0x80);
    EXPECT_EQ(block[1], 0xA0);
    EXPECT_EQ(block[2], 0x60);
    EXPECT_EQ(block[3], 0x00) << "-128 x 2 clamps to -128";
    EXPECT_EQ(block[4], 0xFF) << "127 x 2 clamps to 127";
    EXPECT_EQ(block[5], 0xFF);
    EXPECT_EQ(display.lastRight, 100) << "meters read the signed value";

    unsigned char unity[4] = {0x00, 0x80, 0x7F, 0xFF};
    engine.setMasterGain(1.0);
    engine.modifySamples(reinterpret_cast<short*>(unity), 2, 8, 2, 44100);
    EXPECT_EQ(unity[0], 0x00);
    EXPECT_EQ(unity[1], 0x80);
    EXPECT_EQ(unity[2], 0x7F);
    EXPECT_EQ(unity[3], 0xFF);
}

TEST_F(SamplePipelineTest, TwentyFourBitBlocksArePackedTriplets) {
    auto pack = [](int32_t v, unsigned char* p) {
        p[0] = v & 0xFF;
        p[1] = (v >> 8) & 0xFF;
        p[2] = (v >> 16) & 0xFF;
    };
    auto unpack = [](const unsigned char* p) {
        return static_cast<int32_t>((p[0] | p[1] << 8 | p[2] << 16) << 8) >> 8;
    };
    unsigned char block[24] = {};
    const int32_t values[4] = {1000000, -1000000, 8388607, -8388608};
    for (int i = 0; i < 4; ++i) pack(values[i], block + 3 * i);
    unsigned char original[24];
    std::memcpy(original, block, sizeof block);
    EXPECT_EQ(engine.modifySamples(reinterpret_cast<short*>(block), 2, 24, 2, 44100), 2);
    EXPECT_EQ(std::memcmp(block, original, sizeof block), 0);
    engine.setMasterGain(1.5);
    engine.modifySamples(reinterpret_cast<short*>(block), 2, 24, 2, 44100);
    EXPECT_EQ(unpack(block + 0), 1500000);
    EXPECT_EQ(unpack(block + 3), -1500000);
    EXPECT_EQ(unpack(block + 6), 8388607);
    EXPECT_EQ(unpack(block + 9), -8388608);
}

TEST_F(SamplePipelineTest, ThirtyTwoBitBlocksClampToTheFullRange) {
    int32_t block[8] = {2000000000, -2000000000, 12345, INT32_MIN};
    engine.setMasterGain(2.0);
    engine.modifySamples(reinterpret_cast<short*>(block), 2, 32, 2, 44100);
    EXPECT_EQ(block[0], INT32_MAX);
    EXPECT_EQ(block[1], INT32_MIN);
    EXPECT_EQ(block[2], 24690);
    EXPECT_EQ(block[3], INT32_MIN);
    EXPECT_EQ(display.lastRight, 100);
}

TEST_F(SamplePipelineTest, OtherWidthsComeBackUntouched) {
    installFake();
    unsigned char block[16] = {1, 2, 3, 4, 5, 6, 7, 8};
    engine.setMasterGain(2.0);
    EXPECT_EQ(engine.modifySamples(reinterpret_cast<short*>(block), 2, 12, 2, 44100), 2);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[7], 8);
    EXPECT_EQ(display.lastLeft, 0);
}

TEST_F(SamplePipelineTest, MalformedBlocksAreReturnedAsTheyCame) {
    int16_t block[4] = {1, 2, 3, 4};
    EXPECT_EQ(engine.modifySamples(block, 2, 16, 0, 44100), 2);
    EXPECT_EQ(engine.modifySamples(block, -5, 16, 2, 44100), -5);
    EXPECT_EQ(engine.modifySamples(nullptr, 2, 16, 2, 44100), 2);
    EXPECT_EQ(block[0], 1);
}

TEST_F(SamplePipelineTest, BlockTooLargeToBufferShowsTheErrorAndComesBackUntouched) {
    int16_t block[4] = {1, 2, 3, 4};
    const int huge = 1 << 29;  // 2^30 samples: three times that does not fit the buffer's count
    EXPECT_EQ(engine.modifySamples(block, huge, 16, 2, 44100), huge);
    ASSERT_EQ(display.errors.size(), 1u);
    EXPECT_EQ(display.errors[0], "Memory allocation failed");
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(engine.pipeline().capacity(), 0);
    // The next ordinary block is processed again.
    EXPECT_EQ(engine.modifySamples(block, 2, 16, 2, 44100), 2);
    EXPECT_EQ(engine.pipeline().capacity(), 12);
}

TEST_F(SamplePipelineTest, WorkBufferOnlyGrows) {
    std::vector<int16_t> big = stereoBlock(1152);
    engine.modifySamples(big.data(), 1152, 16, 2, 44100);
    EXPECT_EQ(engine.pipeline().capacity(), 3 * 2304);
    const double* buffer = engine.lastOutput();
    std::vector<int16_t> small = stereoBlock(10);
    engine.modifySamples(small.data(), 10, 16, 2, 44100);
    EXPECT_EQ(engine.pipeline().capacity(), 3 * 2304);
    EXPECT_EQ(engine.lastOutput(), buffer);
}

// A 24-bit stream then a 16-bit one at the same rate: DeNoise must learn the
// noise again on the new scale instead of muting every later 16-bit frame
// with a profile 256 times too loud.
TEST_F(SamplePipelineTest, AWidthChangeAloneRebuildsTheModule) {
    engine.buildModule(kModuleDeNoise, false);
    const double zeros[kMaxParameters] = {};
    engine.setParameterValues(zeros, kMaxParameters);
    const int frames = 576;
    std::vector<unsigned char> wide(3 * 2 * 2 * frames);
    uint32_t seed = 1;
    for (int b = 0; b < 80; ++b) {  // about a second of 24-bit noise
        for (int i = 0; i < 2 * frames; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int32_t v = static_cast<int32_t>(seed >> 8) - (1 << 23);
            const uint32_t u = static_cast<uint32_t>(v / 16);
            for (int k = 0; k < 3; ++k) wide[3 * i + k] = static_cast<unsigned char>(u >> (8 * k));
        }
        engine.modifySamples(reinterpret_cast<short*>(wide.data()), frames, 24, 2, 44100);
    }
    double inSum = 0, outSum = 0;
    std::vector<int16_t> block(2 * 2 * frames);
    for (int b = 0; b < 120; ++b) {  // then 1.5 s of a 16-bit tone
        for (int i = 0; i < frames; ++i) {
            const int t = b * frames + i;
            block[2 * i] = block[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(0.0627 * t));
        }
        if (b >= 80) for (int i = 0; i < 2 * frames; ++i) inSum += double(block[i]) * block[i];
        const int got = engine.modifySamples(block.data(), frames, 16, 2, 44100);
        if (b >= 80) for (int i = 0; i < 2 * got; ++i) outSum += double(block[i]) * block[i];
    }
    EXPECT_EQ(engine.sampleWidth(), 16);
    EXPECT_GT(outSum, 0.25 * inSum) << "the tone must pass once DeNoise has learned the 16-bit scale";
    // A width the pipeline hands back untouched is not followed, so the next
    // 16-bit block does not rebuild the module (and lose its history) again.
    engine.modifySamples(block.data(), frames, 12, 2, 48000);
    EXPECT_EQ(engine.sampleWidth(), 16);
}

// Channels past the second follow the pair: gained when both L and R are on,
// untouched otherwise.
TEST_F(SamplePipelineTest, ChannelsPastTheSecondFollowThePair) {
    engine.modifySamples(std::vector<int16_t>(8 * 4).data(), 4, 16, 4, 44100);  // builds for 4 channels
    engine.setMasterGain(2.0);
    for (int mask : {1, 2, 3}) {
        engine.setChannelMask(mask);
        std::vector<int16_t> block(2 * 4, 0);
        for (int c = 0; c < 4; ++c) block[c] = 1000;
        engine.modifySamples(block.data(), 1, 16, 4, 44100);
        EXPECT_EQ(block[0], (mask & 1) ? 2000 : 1000) << mask;
        EXPECT_EQ(block[1], (mask & 2) ? 2000 : 1000) << mask;
        for (int c = 2; c < 4; ++c) EXPECT_EQ(block[c], mask == 3 ? 2000 : 1000) << "mask " << mask << " channel " << c;
    }
}

// The user-interface thread replaces the module while blocks stream: the
// pipeline must only touch the module under the lock (under the address
// sanitizer a stale read is a use after free).
TEST_F(SamplePipelineTest, ModuleReplacedWhileBlocksStream) {
    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int round = 0; round < 200; ++round) {
            engine.buildModule(round % 2 ? kModuleDeHiss : kModuleFirstEqualizer + round % 5, false);
        }
        done = true;
    });
    std::vector<int16_t> block = stereoBlock(256);
    while (!done) {
        for (int i = 0; i < 512; ++i) block[i] = static_cast<int16_t>(i * 37);
        const int got = engine.modifySamples(block.data(), 256, 16, 2, 44100);
        ASSERT_GE(got, 0);
        ASSERT_LE(got, 512);
    }
    control.join();
}


// The output conversion against its definition, one sample at a time: the
// gain on the selected channels, the clamp to -F..F-1, truncation toward zero,
// and a count of the samples the clamp changed. The values straddle both
// limits (NaN and infinities too), and the odd length leaves a tail after the
// whole groups of a vectorised pass.
class OutputConversion : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(OutputConversion, MatchesTheSampleBySampleDefinition) {
    const auto [bits, channels, mask] = GetParam();
    const double F = SamplePipeline::fullScale(bits), gain = 1.7;
    const int n = 8 * 37 + 5;
    SamplePipeline pipeline;
    ASSERT_TRUE(pipeline.reserve(n));
    const double edges[] = {F - 1.0, F - 0.5, F, -F, -F - 0.5, -F - 1.0, NAN, INFINITY, -INFINITY, 0.6 * F, -0.6 * F};
    uint32_t x = 7;
    for (int i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        pipeline.work()[i] = i % 5 == 0 ? edges[(x >> 8) % 11] : (static_cast<double>(x) / 4294967296.0 - 0.5) * 3.0 * F;
    }
    const std::vector<double> in(pipeline.work(), pipeline.work() + n);
    std::vector<int32_t> out(n);
    pipeline.convertOut(bits, reinterpret_cast<unsigned char*>(out.data()), n, channels, mask, gain);
    int64_t clamped = 0;
    for (int i = 0; i < n; ++i) {
        const double y = in[i] * (channelSelected(i % channels, mask) ? gain : 1.0);
        clamped += !(y > -F - 1.0 && y < F);
        const int32_t expected = !(y > -F) ? static_cast<int32_t>(-F) : y >= F - 1.0 ? static_cast<int32_t>(F - 1.0)
                                                                                         : static_cast<int32_t>(y);
        const int32_t got = bits == 16 ? reinterpret_cast<const int16_t*>(out.data())[i] : out[i];
        ASSERT_EQ(got, expected) << "sample " << i << " of value " << y;
    }
    EXPECT_EQ(pipeline.clampedSamples(), clamped);
}

INSTANTIATE_TEST_SUITE_P(WidthsChannelsMasks, OutputConversion,
                         ::testing::Combine(::testing::Values(16, 32), ::testing::Values(1, 2, 3),
                                            ::testing::Values(1, 2, 3)));

}  // namespace
