#include "effects/restoration/de_click.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "tests/effects/restoration/stream_runner.h"
#include "tests/support/test_signals.h"

namespace {

using restorationtest::runStream;

constexpr double kRate = 44100.0;
constexpr int kFrames = 44100;
constexpr double kAmplitude = 8000.0;

// A sine with a faint noise floor (as any recording has), mono.
std::vector<double> noisySine(double frequency) {
    std::vector<double> x = testsignals::sine(kFrames, 1, kRate, frequency, kAmplitude);
    const std::vector<double> hiss = testsignals::noise(kFrames, 1, 3.0, 11);
    for (int i = 0; i < kFrames; ++i) x[i] += hiss[i];
    return x;
}

// Fundamental 196 Hz with four harmonics of falling amplitude.
std::vector<double> harmonicTone() {
    std::vector<double> x(kFrames, 0.0);
    const double weights[] = {0.5, 0.25, 0.12, 0.08, 0.05};
    for (int h = 0; h < 5; ++h) {
        const std::vector<double> partial =
            testsignals::sine(kFrames, 1, kRate, 196.0 * (h + 1), kAmplitude * weights[h], 0.3 * h);
        for (int i = 0; i < kFrames; ++i) x[i] += partial[i];
    }
    const std::vector<double> hiss = testsignals::noise(kFrames, 1, 3.0, 12);
    for (int i = 0; i < kFrames; ++i) x[i] += hiss[i];
    return x;
}

struct Click {
    int position;
    int length;
};

// Records the clicks every frame finds, as positions in the input stream.
// Frame 0 is left out: it starts with the silence that precedes the stream,
// whose onset it rightly treats as disturbed.
class ClickRecorder : public DeClick {
public:
    using DeClick::DeClick;
    void processFrame(int channelMask) override {
        DeClick::processFrame(channelMask);
        if (frameCounter() == 0) return;
        const int frameStart = (frameCounter() + 1) * hop() - frameLength();
        for (int i = 0; i < detector().clickCount(); ++i)
            found.push_back({frameStart + detector().clickStart(i),
                             detector().clickEnd(i) - detector().clickStart(i) + 1});
    }
    // Clicks overlapping input positions from .. to - 1.
    int overlapping(int from, int to) const {
        int count = 0;
        for (const Click& c : found)
            if (c.position < to && c.position + c.length > from) ++count;
        return count;
    }
    std::vector<Click> found;
};

// DeClick frames at 44100 Hz: N = 1120, hop 952. Frame t >= 1 emits the
// input from 784 + (t - 1) * 952 on, its own samples 0 .. 951; it scans its
// samples 51 .. 1069, so positions 150 .. 850 of an emitted stretch are
// scanned by exactly one frame.
int emittedStretchStart(int t) { return 784 + (t - 1) * 952; }

// One click per emitted stretch from frame 2 on, lengths cycling through the
// list, alternating sign; bursts are random values, single samples spikes.
std::vector<Click> addClicks(std::vector<double>& x, const std::vector<int>& lengths, double height,
                             int count) {
    std::vector<Click> clicks;
    const std::vector<double> burst = testsignals::noise(256, 1, 1.0, 99);
    for (int i = 0; i < count; ++i) {
        const int length = lengths[i % lengths.size()];
        const int position = emittedStretchStart(2 + i) + 200 + (i * 37) % 500;
        const double sign = i % 2 ? -1.0 : 1.0;
        for (int j = 0; j < length; ++j)
            x[position + j] += length == 1 ? sign * height : height * (0.5 + 0.5 * std::fabs(burst[j])) *
                                                                 (burst[j] < 0 ? -1.0 : 1.0);
        clicks.push_back({position, length});
    }
    return clicks;
}

double rmsError(const std::vector<double>& a, const std::vector<double>& b, int from, int to) {
    double sum = 0.0;
    for (int i = from; i < to; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum / (to - from));
}

size_t clicksDetectedIn(const std::vector<double>& signal, double thresh) {
    ClickRecorder declick(kRate, 1);
    const double values[] = {thresh};
    declick.setParameters(values);
    runStream(declick, signal, 1);
    return declick.found.size();
}

void expectRepaired(const std::vector<double>& clean, const std::vector<int>& lengths, const char* what) {
    std::vector<double> damaged = clean;
    const std::vector<Click> clicks = addClicks(damaged, lengths, 12000.0, 36);
    ClickRecorder declick(kRate, 1);
    const std::vector<double> out = runStream(declick, damaged, 1);
    for (const Click& click : clicks) {
        EXPECT_GE(declick.overlapping(click.position, click.position + click.length), 1)
            << what << ": click of " << click.length << " at " << click.position << " not detected";
        const int from = click.position - 60;
        const int to = click.position + click.length + 60;
        EXPECT_LT(rmsError(out, clean, from, to), 0.01 * kAmplitude)
            << what << ": click of " << click.length << " at " << click.position;
        // Before repair the error was of the order of the click height.
        EXPECT_GT(rmsError(damaged, clean, from, to), 0.05 * kAmplitude);
    }
}

// Hits of decaying noise over a quiet bed, as a drum loop has them: their
// attacks leave prediction errors as a click does, but they are the music.
TEST(DeClick, DrumHitsAreLeftAsTheyWere) {
    std::vector<double> x = testsignals::noise(kFrames, 1, 300.0, 11);
    const std::vector<double> hit = testsignals::noise(kFrames, 1, 15000.0, 12);
    for (int start = 2000; start + 4000 < kFrames; start += 5513)
        for (int i = 0; i < 4000; ++i) x[start + i] += hit[start + i] * std::exp(-i / (0.03 * kRate));
    for (double& v : x) v = std::round(v);
    ClickRecorder declick(kRate, 1);
    const std::vector<double> out = runStream(declick, x, 1);
    const int from = emittedStretchStart(1), to = kFrames - 2000;
    EXPECT_LT(rmsError(out, x, from, to), 1.0);
}

TEST(DeClick, DescribesThreshParameter) {
    DeClick declick(kRate, 2);
    ParamDescriptor d[kMaxParameters];
    ASSERT_EQ(declick.describeParameters(d), 1);
    EXPECT_STREQ(d[0].name, "Thresh");
    EXPECT_EQ(d[0].max, 20.0);
    EXPECT_EQ(d[0].min, 3.0);
    EXPECT_EQ(d[0].defaultValue, 8.0);
    EXPECT_EQ(declick.thresh(), 8.0);
    EXPECT_EQ(declick.frameLength(), 1120);
    EXPECT_EQ(declick.hop(), 952);
}

TEST(DeClick, CleanSignalsAreLeftAlone) {
    for (const std::vector<double>& clean : {noisySine(300.0), harmonicTone()}) {
        ClickRecorder declick(kRate, 1);
        const std::vector<double> out = runStream(declick, clean, 1);
        EXPECT_TRUE(declick.found.empty());
        // A frame without clicks replaces the output with itself: exact.
        for (int i = emittedStretchStart(1); i < kFrames - 2000; ++i) ASSERT_EQ(out[i], clean[i]) << "sample " << i;
    }
}

TEST(DeClick, RepairsSpikesAndBurstsOnSine) {
    expectRepaired(noisySine(300.0), {1, 2, 3, 5, 8, 13, 20, 30, 40, 50}, "sine");
}

TEST(DeClick, RepairsSpikesAndBurstsOnHarmonicTone) {
    expectRepaired(harmonicTone(), {1, 2, 3, 5, 8, 13, 20, 30, 40, 50}, "harmonic tone");
}

TEST(DeClick, LongBurstIsNotTreatedAsClick) {
    const std::vector<double> clean = noisySine(300.0);
    std::vector<double> damaged = clean;
    const std::vector<double> burst = testsignals::noise(250, 1, 6000.0, 5);
    const int position = emittedStretchStart(10) + 300;
    for (int j = 0; j < 250; ++j) damaged[position + j] += burst[j];
    ClickRecorder declick(kRate, 1);
    const std::vector<double> out = runStream(declick, damaged, 1);
    // Its residual stays above the threshold too long; the stretch just
    // before it, where only the two-sided prediction sees it, may still be
    // taken for a click, but no burst sample is.
    EXPECT_EQ(declick.overlapping(position, position + 250), 0);
    for (int i = position; i < position + 250; ++i) ASSERT_EQ(out[i], damaged[i]) << "sample " << i;
}

TEST(DeClick, ThresholdOrdersDetections) {
    // Spikes of graded heights: a larger Thresh lets the smaller ones pass.
    std::vector<double> signal = harmonicTone();
    for (int i = 0; i < 40; ++i) {
        const double height = 4.0 * std::pow(1.25, i % 20);
        signal[emittedStretchStart(2 + i) + 400] += i % 2 ? height : -height;
    }
    const size_t at3 = clicksDetectedIn(signal, 3.0);
    const size_t at8 = clicksDetectedIn(signal, 8.0);
    const size_t at20 = clicksDetectedIn(signal, 20.0);
    EXPECT_LT(at20, at8);
    EXPECT_LT(at8, at3);
    EXPECT_GT(at20, 0u);
}

TEST(DeClick, SilenceDetectsNothing) {
    const std::vector<double> silence(2 * kFrames, 0.0);
    DeClick declick(kRate, 2);
    size_t produced = 0;
    const std::vector<double> out = runStream(declick, silence, 2, 3, 576, &produced);
    EXPECT_EQ(declick.detectedClicks(), 0);
    EXPECT_GE(produced, silence.size() - 4 * 576);
    for (double v : out) ASSERT_EQ(v, 0.0);
}

TEST(DeClick, ChannelMaskRepairsOnlySelectedChannel) {
    const std::vector<double> mono = noisySine(300.0);
    std::vector<double> damagedMono = mono;
    const std::vector<Click> clicks = addClicks(damagedMono, {1, 10, 40}, 12000.0, 12);
    std::vector<double> stereo(2 * kFrames);
    for (int i = 0; i < kFrames; ++i) stereo[2 * i] = stereo[2 * i + 1] = damagedMono[i];
    DeClick declick(kRate, 2);
    const std::vector<double> out = runStream(declick, stereo, 2, 2);  // right only
    for (const Click& click : clicks) {
        double leftError = 0.0, rightError = 0.0;
        const int from = click.position - 60;
        const int to = click.position + click.length + 60;
        for (int i = from; i < to; ++i) {
            leftError = std::max(leftError, std::fabs(out[2 * i] - stereo[2 * i]));
            rightError += (out[2 * i + 1] - mono[i]) * (out[2 * i + 1] - mono[i]);
        }
        EXPECT_EQ(leftError, 0.0);
        EXPECT_LT(std::sqrt(rightError / (to - from)), 0.01 * kAmplitude) << "click at " << click.position;
    }
}

TEST(DeClick, LowSampleRateRefinesLongestClicks) {
    // At 16000 Hz N = 400: a quarter frame (100) is below the 200-sample
    // click limit, yet a click of more than 100 samples is still refined,
    // inside the storage. A 100 Hz tone has no period the frame analysis
    // accepts (160 samples is above its longest lag), so the first fill is a
    // straight line, which only the refinement turns back into the tone.
    const double rate = 16000.0;
    const int frames = 16000;
    std::vector<double> clean = testsignals::sine(frames, 1, rate, 100.0, kAmplitude);
    const std::vector<double> hiss = testsignals::noise(frames, 1, 0.3, 3);
    for (int i = 0; i < frames; ++i) clean[i] += hiss[i];
    constexpr int kBurst = 112;
    ClickRecorder declick(rate, 1);
    ASSERT_EQ(declick.frameLength(), 400);
    ASSERT_EQ(declick.hop(), 340);
    std::vector<double> damaged = clean;
    const std::vector<double> burst = testsignals::noise(kBurst, 1, 1.0, 8);
    // Frame 20 emits the input from 21 * 340 - 400 on; its samples 51 .. 349
    // are scanned.
    const int position = 21 * 340 - 400 + 130;
    for (int j = 0; j < kBurst; ++j) damaged[position + j] += 10000.0 * burst[j];
    const std::vector<double> out = runStream(declick, damaged, 1);
    bool longClick = false;
    for (const Click& c : declick.found)
        if (c.position <= position && c.position + c.length >= position + kBurst) longClick = c.length > 100;
    EXPECT_TRUE(longClick);
    // A straight line across more than half a period of the tone would be
    // off by thousands; the refined fill is within 2 % of the amplitude.
    EXPECT_LT(rmsError(out, clean, position - 20, position + kBurst + 20), 0.02 * kAmplitude);
}

TEST(DeClick, SpikeInToneComesOutAsTheTone) {
    // Tones from each band, exact and rounded to integers, with spikes of
    // either sign across the emitted stretches: position 10 lies before the
    // part of its own frame that is scanned, so the previous frame repairs it.
    const int positions[] = {10, 56, 120, 450, 700, 951};
    for (double frequency : {150.0, 440.0, 1000.0, 3000.0, 7500.0}) {
        for (bool rounded : {false, true}) {
            std::vector<double> clean = testsignals::sine(kFrames, 1, kRate, frequency, kAmplitude, 0.4);
            if (rounded)
                for (double& v : clean) v = std::nearbyint(v);
            std::vector<double> damaged = clean;
            for (int i = 0; i < 12; ++i) damaged[emittedStretchStart(2 + 3 * i) + positions[i / 2]] += i % 2 ? -24000 : 24000;
            DeClick declick(kRate, 1);
            const std::vector<double> out = runStream(declick, damaged, 1);
            for (int i = 0; i < 12; ++i) {
                const int at = emittedStretchStart(2 + 3 * i) + positions[i / 2];
                double worst = 0.0;
                for (int n = at - 60; n <= at + 60; ++n) worst = std::max(worst, std::fabs(out[n] - clean[n]));
                EXPECT_LT(worst, 0.02 * kAmplitude) << frequency << " Hz, rounded " << rounded << ", spike at " << at;
            }
        }
    }
}

TEST(DeClick, EchoesOfASpikeAreNotClicks) {
    // On a tone the model predicts to rounding, the residual repeats a spike
    // at every lag far above the threshold, over a hundred samples; only the
    // spike and its closest neighbours are a click.
    std::vector<double> signal = testsignals::sine(kFrames, 1, kRate, 1000.0, kAmplitude);
    for (double& v : signal) v = std::nearbyint(v);
    const int at = emittedStretchStart(5) + 450;
    signal[at] += 24000.0;
    ClickRecorder declick(kRate, 1);
    runStream(declick, signal, 1);
    ASSERT_EQ(declick.found.size(), 1u);
    EXPECT_LE(declick.found[0].position, at);
    EXPECT_GE(declick.found[0].position + declick.found[0].length, at + 1);
    // The spike and one neighbour on either side.
    EXPECT_LE(declick.found[0].length, 3);
}

// Wide clicks as a scratch leaves them: noise bursts of 14 and 30 samples
// under a Hann window, on a harmonic tone and on a sine. Their faint edges
// must be replaced with the rest (left in, they bend the fill to meet them),
// and a fill that wide needs a model of more than 50 terms. On white noise,
// which no model predicts, the fill cannot follow the signal, but it must
// still take the burst out, leaving an error of the order of the noise.
TEST(DeClick, WindowedBurstsAreRepairedWhole) {
    const std::pair<std::vector<double>, double> signalsAndBounds[] = {
        {harmonicTone(), 0.1}, {noisySine(440.0), 0.1}, {testsignals::noise(kFrames, 1, 500.0, 5), 0.4}};
    for (const auto& [clean, bound] : signalsAndBounds) {
        for (int length : {14, 30}) {
            std::vector<double> damaged = clean;
            const std::vector<double> burst = testsignals::noise(length, 1, 1.0, 7);
            std::vector<int> positions;
            for (int k = 0; k < 8; ++k) {
                positions.push_back(emittedStretchStart(3 + 4 * k) + 250 + 50 * k);
                for (int j = 0; j < length; ++j) {
                    const double hann = std::sin(testsignals::kPi * (j + 1) / (length + 1));
                    damaged[positions.back() + j] += (k % 2 ? -5000.0 : 5000.0) * burst[j] * hann * hann;
                }
            }
            DeClick declick(kRate, 1);
            const std::vector<double> out = runStream(declick, damaged, 1);
            for (int at : positions) {
                const double before = rmsError(damaged, clean, at, at + length);
                EXPECT_LT(rmsError(out, clean, at, at + length), bound * before)
                    << length << "-sample burst at " << at << " bound " << bound;
            }
        }
    }
}

// A recording's heavy-tailed floor stands out now and then beside a burst;
// the click still starts and ends with the burst.
TEST(DeClick, StrayResidualBesideABurstDoesNotWidenTheClick) {
    std::vector<double> x = harmonicTone();
    const std::vector<double> u = testsignals::noise(kFrames, 1, 1.0, 31), v = testsignals::noise(kFrames, 1, 1.0, 32);
    for (int i = 0; i < kFrames; ++i) x[i] += 60.0 * u[i] * v[i] * std::fabs(v[i]);
    const std::vector<double> burst = testsignals::noise(30, 1, 6000.0, 8);
    auto at = [](int k) { return emittedStretchStart(2 + 4 * k) + 230 + 40 * k; };
    for (int k = 0; k < 10; ++k)
        for (int j = 0; j < 30; ++j)
            x[at(k) + j] += (k % 2 ? -1 : 1) * burst[j] * std::pow(std::sin(testsignals::kPi * (j + 1) / 31), 2);
    ClickRecorder declick(kRate, 1);
    runStream(declick, x, 1);
    std::vector<bool> seen(10, false);
    for (const Click& c : declick.found)
        for (int k = 0; k < 10; ++k)
            if (c.position < at(k) + 30 && c.position + c.length > at(k)) {
                seen[k] = true;
                EXPECT_TRUE(c.position >= at(k) - 8 && c.position + c.length <= at(k) + 38) << at(k);
            }
    for (int k = 0; k < 10; ++k) EXPECT_TRUE(seen[k]) << "burst " << k << " was not found";
}

TEST(DeClick, ClickNextToAnotherClickIsRepairedToo) {
    // Two bursts 25 samples apart: each is refined with the other left out
    // of its model and its known samples.
    const std::vector<double> clean = harmonicTone();
    std::vector<double> damaged = clean;
    const std::vector<double> burst = testsignals::noise(8, 1, 9000.0, 21);
    const int first = emittedStretchStart(6) + 400;
    for (int j = 0; j < 8; ++j) {
        damaged[first + j] += burst[j];
        damaged[first + 33 + j] -= burst[j];
    }
    ClickRecorder declick(kRate, 1);
    const std::vector<double> out = runStream(declick, damaged, 1);
    EXPECT_GE(declick.overlapping(first, first + 8), 1);
    EXPECT_GE(declick.overlapping(first + 33, first + 41), 1);
    EXPECT_LT(rmsError(out, clean, first - 60, first + 100), 0.01 * kAmplitude);
}

TEST(DeClick, OnsetAfterDigitalSilenceIsNotAClick) {
    // A tone that starts at its crest out of digital silence, inside the
    // stream and at its very start: the step is the music, not a click.
    for (int onset : {0, emittedStretchStart(4) + 300}) {
        std::vector<double> signal(kFrames, 0.0);
        const std::vector<double> tone = testsignals::sine(kFrames, 1, kRate, 440.0, kAmplitude, 1.5);
        for (int i = onset; i < kFrames; ++i) signal[i] = std::nearbyint(tone[i - onset]);
        ClickRecorder declick(kRate, 1);
        const std::vector<double> out = runStream(declick, signal, 1);
        for (int i = 0; i < kFrames - 2000; ++i) ASSERT_EQ(out[i], signal[i]) << "onset " << onset << ", sample " << i;
    }
}

TEST(DeClick, AttackOfANoteIsNotAClick) {
    // A quiet tone, then a loud note that starts at once, far from a zero
    // crossing, and dies away. Its attack clears the threshold, but nothing
    // around it is a disturbance: the output is the input.
    std::vector<double> signal = testsignals::sine(kFrames, 1, kRate, 220.0, 600.0);
    const std::vector<double> hiss = testsignals::noise(kFrames, 1, 3.0, 31);
    for (int i = 0; i < kFrames; ++i) signal[i] += hiss[i];
    for (int onset : {emittedStretchStart(4) + 300, emittedStretchStart(15) + 650, emittedStretchStart(30) + 900})
        for (int i = onset; i < std::min(onset + 20000, kFrames); ++i) {
            const double t = (i - onset) / kRate;
            signal[i] += 12000.0 * std::exp(-t / 0.3) * std::sin(2.0 * 3.14159265358979323846 * 660.0 * t + 1.3);
        }
    ClickRecorder declick(kRate, 1);
    const std::vector<double> out = runStream(declick, signal, 1);
    EXPECT_GT(declick.found.size(), 0u) << "the attacks no longer reach the threshold: the test proves nothing";
    for (int i = 0; i < kFrames - 2000; ++i) ASSERT_EQ(out[i], signal[i]) << "sample " << i;
}

// Two small clicks a few samples apart on a loud, low chord: the model of
// such smooth music predicts its treble so well that a fill pulled by the
// other click's samples, or by an edge left beside the gap, swings far
// wider than either click while still predicting "better" than the damage.
// No repair may leave the music further off than the clicks did.
TEST(DeClick, ClicksSideBySideOnALoudLowChordAreNeverMadeWorse) {
    const int frames = 3 * kFrames / 2;
    for (uint32_t chord = 0; chord < 16; ++chord) {
        const std::vector<double> draws = testsignals::noise(5 * 3 + 36 * 5, 1, 1.0, 100 + chord);
        auto draw = [&, k = 0]() mutable { return 0.5 + 0.5 * draws[k++]; };
        std::vector<double> clean = testsignals::noise(frames, 1, 0.5, 200 + chord);
        for (int p = 0; p < 5; ++p) {
            const double frequency = 50.0 + 250.0 * draw(), phase = 6.28 * draw(), amplitude = 4000.0 + 4000.0 * draw();
            const std::vector<double> partial = testsignals::sine(frames, 1, kRate, frequency, amplitude, phase);
            for (int i = 0; i < frames; ++i) clean[i] += partial[i];
        }
        std::vector<double> damaged = clean;
        const std::vector<double> bursts = testsignals::noise(36 * 32, 1, 1.0, 300 + chord);
        double tallest = 0.0;
        for (int k = 0; k < 36; ++k) {
            const int at = 3000 + 1500 * k + static_cast<int>(700 * draw());
            const int first = 3 + static_cast<int>(14 * draw()), gap = 2 + static_cast<int>(8 * draw());
            const int second = 2 + static_cast<int>(8 * draw());
            const double height = 100.0 + 900.0 * draw();
            tallest = std::max(tallest, height);
            for (int j = 0; j < first + gap + second; ++j)
                if (j < first || j >= first + gap) damaged[at + j] += height * bursts[32 * k + j];
        }
        DeClick declick(kRate, 1);
        const std::vector<double> out = runStream(declick, damaged, 1);
        for (int i = 2000; i < frames - 2000; ++i)
            ASSERT_LE(std::fabs(out[i] - clean[i]), 1.01 * tallest) << "chord " << chord << ", sample " << i;
    }
}

// The refinement learns from the output before the frame; a reset (a seek)
// must forget it, or the first frames after it are repaired from audio
// that no longer precedes them.
TEST(DeClick, AResetForgetsTheOutputBeforeIt) {
    std::vector<double> tune = harmonicTone();
    tune.resize(20000);
    const std::vector<double> burst = testsignals::noise(30, 1, 4000.0, 41);
    for (int at : {200, emittedStretchStart(1) + 150})
        for (int j = 0; j < 30; ++j) tune[at + j] += burst[j];
    DeClick fresh(kRate, 1), used(kRate, 1);
    runStream(used, testsignals::noise(10000, 1, 20000.0, 43), 1);
    used.reset();
    EXPECT_TRUE(runStream(used, tune, 1) == runStream(fresh, tune, 1));
}

}  // namespace
