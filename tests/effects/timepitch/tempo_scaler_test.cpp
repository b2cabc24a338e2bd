#include "effects/timepitch/tempo_scaler.h"

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

void setTempo(TempoScaler& t, double tempo) {
    const double values[] = {tempo};
    t.setParameters(values);
}

TEST(TempoScaler, FrameGeometryFollowsTheRateAndTheHistoryCoversTheFastestTempo) {
    struct Case {
        double rate;
        int n, s, d, m;
    };
    for (const Case& k : {Case{44100, 4410, 3360, 1050, 2205}, Case{48000, 4800, 3600, 1200, 2400},
                          Case{22050, 2240, 1680, 560, 1102}}) {
        TempoScaler t(k.rate, 2);
        EXPECT_EQ(t.frameLength(), k.n);
        EXPECT_EQ(t.overlap(), k.s);
        EXPECT_EQ(t.outputHop(), k.d);
        EXPECT_EQ(t.searchRange(), k.m);
        EXPECT_EQ(t.inputHop(), k.d);
        // 2.5 D + M + S frames would end before the segment of a frame at
        // "Tempo" -1.3 does (Ha + min(Ha, M) + N).
        setTempo(t, -1.3);
        const int hop = t.inputHop();
        EXPECT_GT(hop + std::min(hop, k.m) + k.n, static_cast<int>(2.5 * k.d + k.m + k.s)) << k.rate;
        EXPECT_GE(t.historyLength(), hop + std::min(hop, k.m) + k.n) << k.rate;
    }
    TempoScaler t(kRate, 2);
    setTempo(t, 0.4);
    EXPECT_EQ(t.inputHop(), 795);
    setTempo(t, -0.4);
    EXPECT_EQ(t.inputHop(), 1385);
    EXPECT_NEAR(t.displayValue(0, 0.4), 1.3195, 1e-4);
}

TEST(TempoScaler, TempoZeroGivesTheInputBackWithTheSameLength) {
    TempoScaler t(kRate, 2);
    const int frames = 3 * 44100;
    const std::vector<double> input = testsignals::noise(frames, 2, 10000.0, 5);
    const timepitchtest::Stream s = runBlocks(t, input, 2);
    // Output starts once L frames are in; from then on every frame of input
    // gives one of output, beyond the first frame's N.
    const int L = t.historyLength(), N = t.frameLength(), D = t.outputHop();
    const size_t frameCount = (frames - L) / D;
    EXPECT_EQ(s.output.size() + t.extraOutput(), 2 * (N + frameCount * D));
    // Past the start-up, output frame p is input frame p - (S - D), by
    // unit-gain overlap-add of the squared window.
    const int delay = t.overlap() - D;
    double worst = 0.0;
    for (size_t p = N + t.overlap(); p < s.output.size() / 2; ++p)
        for (int c = 0; c < 2; ++c)
            worst = std::max(worst, std::fabs(s.output[2 * p + c] - input[2 * (p - delay) + c]));
    EXPECT_LT(worst, 1e-8);
}

TEST(TempoScaler, SlowDownTakes795FramesAndGives1050PerFrameAndKeepsThePitch) {
    TempoScaler t(kRate, 2);
    setTempo(t, 0.4);
    std::vector<double> block(2 * 2 * static_cast<size_t>(t.historyLength()), 0.0);
    const std::vector<double> tone = testsignals::sine(t.historyLength() + 3 * 795, 2, kRate, 440.0, 8000.0);
    // The first frame takes L frames and gives N; each later one 795 and 1050.
    int offered = 0;
    auto feed = [&](int frames) {
        std::copy(tone.begin() + 2 * offered, tone.begin() + 2 * (offered + frames), block.begin());
        offered += frames;
        const int queued = t.extraOutput();
        return t.process(block.data(), block.data(), 2 * frames, 2 * frames, 3) + t.extraOutput() - queued;
    };
    EXPECT_EQ(feed(t.historyLength()), 2 * t.frameLength());
    for (int f = 0; f < 3; ++f) EXPECT_EQ(feed(795), 2 * 1050) << "frame " << f + 1;

    TempoScaler longer(kRate, 2);
    setTempo(longer, 0.4);
    const std::vector<double> input = testsignals::sine(5 * 44100, 2, kRate, 440.0, 8000.0);
    const timepitchtest::Stream s = runBlocks(longer, input, 2);
    // Past the first frame (L frames in, N out) the output grows 1.32 times as fast.
    const double grown = static_cast<double>(s.output.size() + longer.extraOutput()) - 2.0 * longer.frameLength();
    EXPECT_NEAR(grown / (input.size() - 2.0 * longer.historyLength()), 1.32, 0.005);
    const std::vector<double> left = channel(s.output, 2, 0, 3 * 4410, s.output.size() / 2);
    EXPECT_NEAR(toneFrequency(left, kRate), 440.0, 1.0);
    // Frames laid at the lag of best match add up in phase: the level holds
    // steady (unaligned frames of a tone would beat against each other).
    double low = 1e9, high = 0.0;
    for (size_t from = 0; from + 4410 <= left.size(); from += 4410) {
        const std::vector<double> piece(left.begin() + from, left.begin() + from + 4410);
        low = std::min(low, testsignals::rms(piece));
        high = std::max(high, testsignals::rms(piece));
    }
    EXPECT_GT(low, 0.95 * 8000.0 / std::sqrt(2.0));
    EXPECT_LT(high, 1.05 * 8000.0 / std::sqrt(2.0));
}

TEST(TempoScaler, SpeedUpShortensToAboutThreeQuartersAndKeepsThePitch) {
    TempoScaler t(kRate, 1);
    setTempo(t, -0.4);
    const std::vector<double> input = testsignals::sine(8 * 44100, 1, kRate, 440.0, 8000.0);
    const timepitchtest::Stream s = runBlocks(t, input, 1);
    EXPECT_NEAR(static_cast<double>(s.output.size() + t.extraOutput()) / input.size(), 0.76, 0.02);
    EXPECT_NEAR(t.lengthRatio(), 1050.0 / 1385.0, 1e-12);
    EXPECT_NEAR(toneFrequency(channel(s.output, 1, 0, 3 * 4410), kRate), 440.0, 1.0);
}

TEST(TempoScaler, FastestTempoReadsOnlyInsideItsHistory) {
    // At "Tempo" -1.3 the longest hop and the longest lags meet; noise draws
    // lags from the whole search range. The memory checkers watch the reads.
    TempoScaler t(kRate, 2);
    setTempo(t, -1.3);
    const std::vector<double> input = testsignals::noise(6 * 44100, 2, 10000.0, 9);
    const timepitchtest::Stream s = runBlocks(t, input, 2, 1024);
    EXPECT_NEAR(static_cast<double>(s.output.size()) / input.size(), std::pow(2.0, -1.3), 0.05);
    EXPECT_TRUE(std::all_of(s.output.begin(), s.output.end(), [](double v) { return std::isfinite(v); }));
}

}  // namespace
