#include "effects/spatial/de_vocal_stereo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/effects/restoration/stream_runner.h"
#include "tests/support/test_signals.h"

namespace {

using restorationtest::runStream;
using testsignals::kPi;

constexpr double kRate = 44100.0;
constexpr int kFrames = 2 * 44100;
// Past the start-up (a frame of 0.2 s) and before the zero padding of the tail.
constexpr int kFrom = 13230, kTo = kFrames - 13230;

void setParameters(DeVocalStereo& devocal, double pan, double vocal, double low = 150.0, double high = 16000.0) {
    const double values[] = {pan, vocal, low, high};
    devocal.setParameters(values);
}

std::vector<double> tone(double frequency, double amplitude) {
    return testsignals::sine(kFrames, 1, kRate, frequency, amplitude);
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

std::vector<double> sum(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> x(a);
    for (size_t i = 0; i < x.size(); ++i) x[i] += b[i];
    return x;
}

// Amplitude of the tone at the given frequency in channel c of a stereo
// signal over the steady part, by least squares on a sine and a cosine
// (the other tones of the tests are whole numbers of cycles apart).
double toneAmplitude(const std::vector<double>& x, int c, double frequency) {
    double xs = 0, xc = 0, ss = 0, cc = 0;
    for (int i = kFrom; i < kTo; ++i) {
        const double s = std::sin(2 * kPi * frequency * i / kRate);
        const double co = std::cos(2 * kPi * frequency * i / kRate);
        xs += x[2 * i + c] * s;
        xc += x[2 * i + c] * co;
        ss += s * s;
        cc += co * co;
    }
    return std::hypot(xs / ss, xc / cc);
}

double maxDeviation(const std::vector<double>& a, const std::vector<double>& b) {
    double worst = 0.0;
    for (size_t i = 2 * kFrom; i < 2 * static_cast<size_t>(kTo); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

TEST(DeVocalStereo, HighEdgeRangeAndProcessedBinsFollowTheRate) {
    ParamDescriptor d[kMaxParameters];
    DeVocalStereo at44k(kRate, 2), at48k(48000.0, 2);
    ASSERT_EQ(at44k.describeParameters(d), 4);
    EXPECT_EQ(d[3].max, 21950.0);
    at48k.describeParameters(d);
    EXPECT_EQ(d[3].max, 23900.0);
    // Bins k with 2k - 1 < N / 2: up to 11025 Hz (N = 8820) and 12000 Hz (N = 9600).
    EXPECT_EQ(at44k.lastBin(), 2205);
    EXPECT_EQ(at48k.lastBin(), 2400);
}

// A tone shared by both channels, (1 + pan) times 6000 on the left and
// (1 - pan) times on the right, with a different tone on each side, close
// enough to share its bins as the instruments of a mix do (a shared tone
// alone in its bins is a double root and passes).
std::vector<double> centreWithSides(double centre, double spacing, double pan = 0.0) {
    const std::vector<double> left = tone(centre, (1.0 + pan) * 6000.0);
    const std::vector<double> right = tone(centre, (1.0 - pan) * 6000.0);
    return pair(sum(left, tone(centre + spacing, 4000.0)), sum(right, tone(centre - spacing, 4000.0)));
}

double levelDb(const std::vector<double>& out, int c, double frequency, double amplitude) {
    return 20 * std::log10(toneAmplitude(out, c, frequency) / amplitude);
}

TEST(DeVocalStereo, SharedToneGoesAndSideTonesStay) {
    for (double pan : {0.0, 0.5}) {
        const std::vector<double> input = centreWithSides(1000.0, 50.0, pan);
        DeVocalStereo devocal(kRate, 2);
        setParameters(devocal, pan, -1.0);
        const std::vector<double> out = runStream(devocal, input, 2);
        for (int c = 0; c < 2; ++c) {
            const double shared = (c == 0 ? 1.0 + pan : 1.0 - pan) * 6000.0;
            EXPECT_LT(levelDb(out, c, 1000.0, shared), -20.0) << "pan " << pan << ", channel " << c;
            EXPECT_NEAR(levelDb(out, c, c == 0 ? 1050.0 : 950.0, 4000.0), 0.0, 1.0) << "pan " << pan << ", channel " << c;
        }
    }
    // The weighting matters: taken as panned the other way, the louder left
    // keeps most of the source.
    DeVocalStereo mismatched(kRate, 2);
    setParameters(mismatched, -0.5, -1.0);
    EXPECT_GT(levelDb(runStream(mismatched, centreWithSides(1000.0, 50.0, 0.5), 2), 0, 1000.0, 9000.0), -6.0);

    const std::vector<double> input = centreWithSides(1000.0, 50.0);
    // A positive "Vocal" adds the centre back amplified.
    DeVocalStereo boost(kRate, 2);
    setParameters(boost, 0.0, 1.5);
    const std::vector<double> boosted = runStream(boost, input, 2);
    EXPECT_NEAR(levelDb(boosted, 0, 1000.0, 6000.0), 20 * std::log10(2.5), 1.0);
}

TEST(DeVocalStereo, NothingAboveAQuarterOfTheRateChanges) {
    const std::vector<double> low = centreWithSides(1000.0, 50.0);
    const std::vector<double> input = sum(low, centreWithSides(13000.0, 50.0));
    DeVocalStereo devocal(kRate, 2);
    const std::vector<double> out = runStream(devocal, input, 2);
    for (int c = 0; c < 2; ++c) {
        EXPECT_LT(levelDb(out, c, 1000.0, 6000.0), -20.0) << "channel " << c;
        EXPECT_NEAR(levelDb(out, c, 13000.0, 6000.0), 0.0, 1e-4) << "channel " << c;
        EXPECT_NEAR(levelDb(out, c, c == 0 ? 13050.0 : 12950.0, 4000.0), 0.0, 1e-4) << "channel " << c;
    }
}

TEST(DeVocalStereo, ZeroVocalAndOneSidedSignalsPassAndTheBandEdgesDoNothing) {
    const std::vector<double> input = sum(centreWithSides(1000.0, 50.0), testsignals::noise(kFrames, 2, 3000.0, 3));
    DeVocalStereo neutral(kRate, 2);
    setParameters(neutral, 0.0, 0.0);
    EXPECT_LT(maxDeviation(runStream(neutral, input, 2), input), 1e-9);

    // c = 0 in every bin: nothing is shared.
    std::vector<double> leftOnly = testsignals::noise(kFrames, 2, 8000.0, 4);
    for (size_t i = 1; i < leftOnly.size(); i += 2) leftOnly[i] = 0.0;
    DeVocalStereo oneSided(kRate, 2);
    EXPECT_LT(maxDeviation(runStream(oneSided, leftOnly, 2), leftOnly), 1e-8);

    DeVocalStereo narrow(kRate, 2), wide(kRate, 2);
    setParameters(narrow, 0.3, -1.0, 400.0, 8000.0);
    setParameters(wide, 0.3, -1.0, 50.0, 21950.0);
    EXPECT_EQ(runStream(narrow, input, 2), runStream(wide, input, 2));
}

// The player offers this module only PASS, which switches the mask between 0
// and 1: with 1 the vocal must still leave both channels.
TEST(DeVocalStereo, AMonoStreamIsOnePairAndAnyMaskProcessesBoth) {
    const std::vector<double> input = centreWithSides(1000.0, 50.0);
    DeVocalStereo stereo(kRate, 2), mono(kRate, 1), leftOnly(kRate, 2), rightOnly(kRate, 2);
    const std::vector<double> both = runStream(stereo, input, 2);
    // Consecutive samples of a mono stream are one left and one right sample.
    EXPECT_EQ(runStream(mono, input, 1, 1, 1152), both);
    EXPECT_EQ(runStream(leftOnly, input, 2, 1), both);
    EXPECT_EQ(runStream(rightOnly, input, 2, 2), both);
}

}  // namespace
