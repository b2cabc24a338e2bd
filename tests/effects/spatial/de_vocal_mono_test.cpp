#include "effects/spatial/de_vocal_mono.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/effects/restoration/stream_runner.h"
#include "tests/effects/spatial/de_vocal_mono_literal.h"
#include "tests/support/test_signals.h"

namespace {

using restorationtest::runStream;

constexpr double kRate = 44100.0;
constexpr int kFrames = 44100;
// Past the start-up and before the zero padding of the stream's tail.
constexpr size_t kFrom = 4410, kTo = kFrames - 4410;

void setBand(DeVocalMono& devocal, double low, double high, double pan) {
    const double values[] = {low, high, pan};
    devocal.setParameters(values);
}

// Stereo from two mono signals.
std::vector<double> pair(const std::vector<double>& left, const std::vector<double>& right) {
    std::vector<double> x(2 * left.size());
    for (size_t i = 0; i < left.size(); ++i) {
        x[2 * i] = left[i];
        x[2 * i + 1] = right[i];
    }
    return x;
}

// Largest |a[i] - b[i]| over the steady part of channel c of two stereo signals,
// with b scaled.
double maxDeviation(const std::vector<double>& a, const std::vector<double>& b, int c, double scale) {
    double worst = 0.0;
    for (size_t i = kFrom; i < kTo; ++i) worst = std::max(worst, std::fabs(a[2 * i + c] - scale * b[2 * i + c]));
    return worst;
}

double channelLevelDb(const std::vector<double>& out, const std::vector<double>& in, int c) {
    return 20.0 * std::log10(testsignals::rms(out, 2 * kFrom + c, 2, 2 * kTo) / testsignals::rms(in, 2 * kFrom + c, 2, 2 * kTo));
}

TEST(DeVocalMono, MaskBinsFollowTheBandAndAreRebuiltAtTheNextProcess) {
    DeVocalMono devocal(kRate, 2);
    ASSERT_EQ(devocal.frameLength(), 1344);
    // Built with 12000 Hz, not the descriptor's 10000: the band ends at bin 360.
    EXPECT_EQ(devocal.bandMask()[2 * 359], 1.0);
    EXPECT_EQ(devocal.bandMask()[2 * 360], 0.5);
    const std::vector<double> built = devocal.bandMask();
    setBand(devocal, 200.0, 10000.0, 0.0);
    EXPECT_EQ(devocal.bandMask(), built) << "setParameters only stores";
    std::vector<double> block(64, 0.0);
    devocal.process(block.data(), block.data(), 64, 64, 3);
    const std::vector<double>& mask = devocal.bandMask();
    // lo = 6, hi = 300; bin k owns entries 2k - 1 and 2k.
    auto bin = [&](int k) {
        EXPECT_EQ(mask[2 * k - 1], mask[2 * k]) << "bin " << k;
        return mask[2 * k];
    };
    EXPECT_EQ(bin(2), 0.0);
    EXPECT_EQ(bin(3), 0.001);
    EXPECT_EQ(bin(4), 0.5);
    for (int k = 5; k <= 299; ++k) ASSERT_EQ(bin(k), 1.0) << "bin " << k;
    EXPECT_EQ(bin(300), 0.5);
    EXPECT_EQ(bin(301), 0.001);
    EXPECT_EQ(bin(302), 0.0);
    EXPECT_EQ(mask[0], 0.0);
    EXPECT_EQ(mask.back(), 0.0);

    const std::vector<double> first = mask;
    setBand(devocal, 430.0, 10000.0, 0.0);
    devocal.process(block.data(), block.data(), 64, 64, 3);
    EXPECT_NE(devocal.bandMask(), first);
    setBand(devocal, 200.0, 10000.0, 0.0);
    devocal.process(block.data(), block.data(), 64, 64, 3);
    EXPECT_EQ(devocal.bandMask(), first);
}

TEST(DeVocalMono, TaperEntriesOutsideTheSpectrumAreDropped) {
    // 32000 Hz: N = 960, bins 0 .. 480. LowF 50 puts the lower taper before
    // bin 0 (lo = 1), Hi F 16000 the upper one at and past bin 480.
    DeVocalMono devocal(32000.0, 2);
    ASSERT_EQ(devocal.frameLength(), 960);
    setBand(devocal, 50.0, 16000.0, 0.0);
    std::vector<double> block(64, 0.0);
    devocal.process(block.data(), block.data(), 64, 64, 3);
    const std::vector<double>& mask = devocal.bandMask();
    EXPECT_EQ(mask[0], 1.0) << "bin 0 is in the band";
    EXPECT_EQ(mask[2 * 479], 1.0);
    EXPECT_EQ(mask[959], 0.5) << "bin 480 keeps its taper value";
}

TEST(DeVocalMono, IdenticalChannelsCancelInsideTheBandAndPassOutside) {
    // Band 500 .. 4000 Hz, tapers at bins 12, 13 and 120, 121 (33 Hz each).
    for (double frequency : {60.0, 1500.0, 3000.0, 12000.0}) {
        DeVocalMono devocal(kRate, 2);
        setBand(devocal, 500.0, 4000.0, 0.0);
        const std::vector<double> input = testsignals::sine(kFrames, 2, kRate, frequency, 8000.0);
        const std::vector<double> out = runStream(devocal, input, 2);
        const bool inside = frequency > 500.0 && frequency < 4000.0;
        for (int c = 0; c < 2; ++c) {
            if (inside) {
                EXPECT_LT(channelLevelDb(out, input, c), -40.0) << frequency << " Hz, channel " << c;
            } else {
                EXPECT_LT(maxDeviation(out, input, c, 1.0), 1e-3 * 8000.0) << frequency << " Hz, channel " << c;
            }
        }
    }
}

TEST(DeVocalMono, OneSidedSourceComesOutWeightedAndInAntiphase) {
    // In the band L' = (1 + p) / 2 L and R' = -(1 + p) / 2 L for a left-only input.
    const std::vector<double> tone = testsignals::sine(kFrames, 1, kRate, 1000.0, 8000.0);
    const std::vector<double> input = pair(tone, std::vector<double>(kFrames, 0.0));
    for (double pan : {0.0, 0.5, -0.6}) {
        DeVocalMono devocal(kRate, 2);
        setBand(devocal, 200.0, 10000.0, pan);
        const std::vector<double> out = runStream(devocal, input, 2);
        const double share = (1.0 + pan) / 2.0;
        std::vector<double> mirrored(input.size());
        for (size_t i = 0; i < kFrames; ++i) mirrored[2 * i] = mirrored[2 * i + 1] = input[2 * i];
        EXPECT_LT(maxDeviation(out, mirrored, 0, share), 1e-6 * 8000.0) << "pan " << pan;
        EXPECT_LT(maxDeviation(out, mirrored, 1, -share), 1e-6 * 8000.0) << "pan " << pan;
    }
}

TEST(DeVocalMono, OneTransformOfTheSumMatchesTheThreeTransformForm) {
    // Noise on both channels exercises every bin, the tapers included.
    const std::vector<double> input = testsignals::noise(kFrames, 2, 10000.0, 5);
    for (double pan : {0.0, 0.7}) {
        DeVocalMono devocal(kRate, 2);
        spatialtest::LiteralDeVocalMono literal(kRate, 2);
        setBand(devocal, 130.0, 9000.0, pan);
        setBand(literal, 130.0, 9000.0, pan);
        const std::vector<double> out = runStream(devocal, input, 2);
        const std::vector<double> expected = runStream(literal, input, 2);
        for (int c = 0; c < 2; ++c) EXPECT_LT(maxDeviation(out, expected, c, 1.0), 1e-8) << "pan " << pan;
    }
}

// The player offers this module only PASS, which switches the mask between 0
// and 1: with 1 the centre must still leave both channels.
TEST(DeVocalMono, AnyMaskProcessesBothChannelsAndAMonoStreamIsOnePair) {
    const std::vector<double> tone = testsignals::sine(kFrames, 1, kRate, 1000.0, 8000.0);
    const std::vector<double> input = pair(tone, tone);
    DeVocalMono stereo(kRate, 2);
    setBand(stereo, 200.0, 10000.0, 0.0);
    const std::vector<double> out = runStream(stereo, input, 2, 1);
    EXPECT_LT(channelLevelDb(out, input, 0), -40.0);
    EXPECT_LT(channelLevelDb(out, input, 1), -40.0);

    // A mono stream of repeated samples is a pair of identical channels; its
    // one selected channel covers both halves of the pair.
    DeVocalMono mono(kRate, 1);
    setBand(mono, 200.0, 10000.0, 0.0);
    const std::vector<double> monoOut = runStream(mono, input, 1, 1);
    EXPECT_LT(channelLevelDb(monoOut, input, 0), -40.0);
    EXPECT_LT(channelLevelDb(monoOut, input, 1), -40.0);
}

}  // namespace
