#include "effects/restoration/de_hiss.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/effects/restoration/stream_runner.h"
#include "tests/support/test_signals.h"

namespace {

using restorationtest::runStream;

constexpr double kRate = 44100.0;
constexpr double kPi = testsignals::kPi;

double decibels(double ratio) { return 20.0 * std::log10(ratio); }

void setThresh(DeHiss& dehiss, double thresh) {
    const double values[] = {thresh};
    dehiss.setParameters(values);
}

// Amplitude of the tone at the given frequency in x[from .. to), by least
// squares on a sine and a cosine; residual receives what is left.
double toneAmplitude(const std::vector<double>& x, int from, int to, double frequency,
                     std::vector<double>* residual) {
    double ss = 0, cc = 0, sc = 0, xs = 0, xc = 0;
    for (int i = from; i < to; ++i) {
        const double s = std::sin(2 * kPi * frequency * i / kRate);
        const double c = std::cos(2 * kPi * frequency * i / kRate);
        ss += s * s;
        cc += c * c;
        sc += s * c;
        xs += x[i] * s;
        xc += x[i] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (xs * cc - xc * sc) / det;
    const double b = (xc * ss - xs * sc) / det;
    residual->assign(x.begin() + from, x.begin() + to);
    for (int i = from; i < to; ++i)
        (*residual)[i - from] -= a * std::sin(2 * kPi * frequency * i / kRate) + b * std::cos(2 * kPi * frequency * i / kRate);
    return std::hypot(a, b);
}

TEST(DeHiss, DescriptorAndConstructionValues) {
    DeHiss dehiss(kRate, 2);
    ParamDescriptor d[kMaxParameters];
    ASSERT_EQ(dehiss.describeParameters(d), 1);
    EXPECT_STREQ(d[0].name, "Thresh");
    EXPECT_EQ(d[0].max, 1.0);
    EXPECT_EQ(d[0].min, 0.0);
    EXPECT_EQ(d[0].defaultValue, 0.5);
    EXPECT_EQ(dehiss.thresh(), 0.5);
    EXPECT_EQ(dehiss.frameLength(), 2240);
    EXPECT_EQ(dehiss.hop(), 560);
}

TEST(DeHiss, ReducesHissUnderToneAndKeepsTone) {
    const int frames = 3 * 44100;
    // Uniform noise of amplitude 567.6 has an RMS of 327.7: -40 dBFS.
    const std::vector<double> hiss = testsignals::noise(frames, 1, 567.6, 21);
    // A tone at -6 dBFS. The soft gain takes bins less than about 30 dB above
    // the floor down noticeably, so the window's leakage bins of a quieter
    // tone lose more (-1.6 dB at -12 dBFS).
    const double toneLevel = 16000.0;
    const std::vector<double> tone = testsignals::sine(frames, 1, kRate, 1000.0, toneLevel);
    std::vector<double> input(frames);
    for (int i = 0; i < frames; ++i) input[i] = hiss[i] + tone[i];
    DeHiss dehiss(kRate, 1);
    const std::vector<double> out = runStream(dehiss, input, 1);

    const int from = 44100, to = 2 * 44100 + 22050;
    std::vector<double> residual;
    const double amplitude = toneAmplitude(out, from, to, 1000.0, &residual);
    EXPECT_NEAR(decibels(amplitude / toneLevel), 0.0, 1.0);
    const double hissIn = testsignals::rms(hiss, from, 1, to);
    const double hissOut = testsignals::rms(residual);
    EXPECT_LT(decibels(hissOut / hissIn), -6.0);
}

TEST(DeHiss, StrongerThreshRemovesMoreHiss) {
    const std::vector<double> hiss = testsignals::noise(2 * 44100, 1, 567.6, 22);
    double previous = testsignals::rms(hiss, 22050, 1, 66150);
    for (double thresh : {0.1, 0.5, 1.0}) {
        DeHiss dehiss(kRate, 1);
        setThresh(dehiss, thresh);
        const std::vector<double> out = runStream(dehiss, hiss, 1);
        const double level = testsignals::rms(out, 22050, 1, 66150);
        EXPECT_LT(level, previous) << "Thresh " << thresh;
        previous = level;
    }
    // At full strength the gain approaches its floor of 0.01 (-40 dB).
    EXPECT_LT(decibels(previous / testsignals::rms(hiss, 22050, 1, 66150)), -20.0);
}

TEST(DeHiss, ZeroThreshPassesSignal) {
    std::vector<double> input = testsignals::noise(44100, 2, 567.6, 23);
    const std::vector<double> tone = testsignals::sine(44100, 2, kRate, 3000.0, 5000.0);
    for (size_t i = 0; i < input.size(); ++i) input[i] += tone[i];
    DeHiss dehiss(kRate, 2);
    setThresh(dehiss, 0.0);
    size_t produced = 0;
    const std::vector<double> out = runStream(dehiss, input, 2, 3, 576, &produced);
    double worst = 0.0;
    for (size_t i = 0; i < produced; ++i) worst = std::max(worst, std::fabs(out[i] - input[i]));
    EXPECT_LT(worst, 1e-6);
    EXPECT_GT(produced, input.size() / 2);
}

TEST(DeHiss, SilenceStaysSilent) {
    const std::vector<double> silence(2 * 44100, 0.0);
    DeHiss dehiss(kRate, 2);
    size_t produced = 0;
    const std::vector<double> out = runStream(dehiss, silence, 2, 3, 576, &produced);
    EXPECT_GT(produced, silence.size() / 2);
    for (double v : out) ASSERT_EQ(v, 0.0);
}

TEST(DeHiss, MaskTwoProcessesRightOnly) {
    const int frames = 44100;
    const std::vector<double> hiss = testsignals::noise(frames, 2, 567.6, 24);
    BlockEffect untouched(kRate, 0.05, 0.25, 2, 5000, kFrameOverlapAdd);
    DeHiss dehiss(kRate, 2);
    const std::vector<double> out = runStream(dehiss, hiss, 2, 2);
    const std::vector<double> reference = runStream(untouched, hiss, 2, 2);
    for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], reference[i]) << "left sample " << i / 2;
    EXPECT_LT(decibels(testsignals::rms(out, 2 * 22050 + 1, 2, 2 * 40000) / testsignals::rms(hiss, 2 * 22050 + 1, 2, 2 * 40000)),
              -6.0);
}

TEST(DeHiss, DcAndNyquistKeepTheirSign) {
    const int frames = 44100;
    std::vector<double> input = testsignals::noise(frames, 1, 100.0, 25);
    for (int i = 0; i < frames; ++i) input[i] += -4000.0 - 3000.0 * (i % 2 ? -1.0 : 1.0);
    DeHiss dehiss(kRate, 1);
    const std::vector<double> out = runStream(dehiss, input, 1);
    double dc = 0.0, nyquist = 0.0;
    const int from = 10000, to = 40000;
    for (int i = from; i < to; ++i) {
        dc += out[i];
        nyquist += out[i] * (i % 2 ? -1.0 : 1.0);
    }
    // Both are attenuated somewhat (the half-rate bin also raises the hiss
    // reference), but neither may flip.
    EXPECT_LT(dc / (to - from), -0.5 * 4000.0);
    EXPECT_GT(dc / (to - from), -4000.0);
    EXPECT_LT(nyquist / (to - from), -0.5 * 3000.0);
    EXPECT_GT(nyquist / (to - from), -3000.0);
}

}  // namespace
