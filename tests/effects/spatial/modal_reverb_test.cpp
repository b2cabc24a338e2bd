#include "effects/spatial/modal_reverb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/spatial/reverb_tail.h"
#include "effects/spatial/room_geometry.h"
#include "framework/module_random.h"
#include "tests/support/test_signals.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kLatency = ReverbChannel::kPartitionLength;

long long clockSeconds = 1700000000;
long long fakeClock() { return clockSeconds; }

void setRoom(ModalReverb& reverb, double size, double reflection, double direct, double reflections,
             double reverberation) {
    const double values[] = {size, reflection, direct, reflections, reverberation};
    reverb.applyParameters(values);
}

// Runs interleaved x through the module in blocks of the given frames.
std::vector<double> run(EffectModule& module, std::vector<double> x, int channels, int blockFrames, int mask = 3) {
    const int frames = static_cast<int>(x.size()) / channels;
    for (int start = 0; start < frames; start += blockFrames) {
        const int n = std::min(blockFrames, frames - start) * channels;
        double* block = x.data() + static_cast<size_t>(start) * channels;
        EXPECT_EQ(module.process(block, block, n, n, mask), n);
    }
    return x;
}

TEST(ModalReverbTest, EyringTimeWithEqualWallsAndTheDefaultRoom) {
    for (double size : {1.0, 2.0, 7.5, 12.0}) {
        for (double r : {0.1, 0.5, 0.85, 0.99}) {
            const RoomGeometry room = scaledRoom(size, r);
            const double lx = room.size[0], ly = room.size[1], lz = room.size[2];
            const double s = 2.0 * (lx * ly + (lx + ly) * lz);
            const double expected = 0.161 * lx * ly * lz / (-2.0 * s * std::log(r));
            EXPECT_NEAR(eyringTime(room), expected, 1e-12 * expected) << size << " " << r;
        }
    }
    clockSeconds = 1700000000;
    ModalReverb reverb(kRate, 2, fakeClock);
    setRoom(reverb, 2.0, 0.85, 0.2, 0.3, 0.5);
    run(reverb, std::vector<double>(2 * 576, 0.0), 2, 576);
    const ReverbChannel& left = reverb.reverbChannel(0);
    EXPECT_NEAR(left.reverberationTime(), 0.708, 0.0005);
    // Tail from the strongest reflection on: 31,205 samples, 17 partitions of 2048.
    EXPECT_EQ(left.response().size(), static_cast<size_t>(left.tailStart() + 31205));
    EXPECT_EQ(left.convolver().partitionCount(), 17);
    EXPECT_EQ(left.convolver().levelCount(), 1);
}

TEST(ModalReverbTest, DirectSoundAloneIsADelayByTheDirectPathWithGainATenth) {
    clockSeconds = 1700000000;
    ModalReverb reverb(kRate, 2, fakeClock);
    setRoom(reverb, 2.0, 0.85, 1.0, 0.0, 0.0);
    const int frames = 30000;
    const std::vector<double> x = testsignals::noise(frames, 2, 20000.0, 4);
    const std::vector<double> y = run(reverb, x, 2, 576);
    for (int c = 0; c < 2; ++c) {
        const int delay = kLatency + reverb.reverbChannel(c).directDelay();
        double worst = 0.0;
        for (int i = 0; i < frames; ++i) {
            const double expected = i < delay ? 0.0 : 0.1 * x[2 * (i - delay) + c];
            worst = std::max(worst, std::fabs(y[2 * i + c] - expected));
        }
        EXPECT_LT(worst, 1e-6) << "channel " << c;
    }
    // The two ears lie on either side of the listener: different paths.
    EXPECT_EQ(reverb.reverbChannel(0).directDelay(), 1242);
    EXPECT_EQ(reverb.reverbChannel(1).directDelay(), 1334);
}

TEST(ModalReverbTest, TheClockSecondSeedsTheTailAndNothingElse) {
    clockSeconds = 1700000000;
    ModalReverb first(kRate, 2, fakeClock), again(kRate, 2, fakeClock), later(kRate, 2, fakeClock);
    for (ModalReverb* r : {&first, &again, &later}) setRoom(*r, 4.0, 0.85, 0.2, 0.3, 0.5);
    const std::vector<double> before = first.reverbChannel(0).response();
    run(first, std::vector<double>(1152, 0.0), 2, 576);
    EXPECT_NE(first.reverbChannel(0).response(), before) << "the room changed at the next process";
    run(again, std::vector<double>(1152, 0.0), 2, 576);
    clockSeconds += 1;
    run(later, std::vector<double>(1152, 0.0), 2, 576);
    for (int c = 0; c < 2; ++c) {
        const std::vector<double>& a = first.reverbChannel(c).response();
        const std::vector<double>& b = later.reverbChannel(c).response();
        EXPECT_EQ(a, again.reverbChannel(c).response()) << "same second, channel " << c;
        const int start = first.reverbChannel(c).tailStart();
        ASSERT_EQ(a.size(), b.size());
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + start, b.begin())) << "direct path and early part";
        EXPECT_FALSE(std::equal(a.begin() + start, a.end(), b.begin() + start)) << "the tail";
    }
}

TEST(ModalReverbTest, AnUnselectedRightChannelPassesAndItsConvolverStaysStill) {
    ModalReverb reverb(kRate, 2, fakeClock);
    const std::vector<double> x = testsignals::noise(20000, 2, 20000.0, 7);
    const PartitionedConvolver& right = reverb.reverbChannel(1).convolver();
    const int pending = right.pendingInput(), ready = right.readyOutput();
    const std::vector<double> y = run(reverb, x, 2, 576, 1);
    for (size_t i = 1; i < x.size(); i += 2) ASSERT_EQ(y[i], x[i]) << i;
    EXPECT_EQ(right.pendingInput(), pending);
    EXPECT_EQ(right.readyOutput(), ready);
    EXPECT_GT(testsignals::rms(y, 2 * 5000, 2), 0.0);
}

TEST(ModalReverbTest, MonoRendersTheLeftEarAndExtraChannelsComeBackDryOnePartitionLate) {
    clockSeconds = 1700000000;
    ModalReverb stereo(kRate, 2, fakeClock), mono(kRate, 1, fakeClock), wide(kRate, 3, fakeClock);
    EXPECT_EQ(mono.reverbChannelCount(), 1);
    EXPECT_EQ(wide.reverbChannelCount(), 2);
    const int frames = 20000;
    const std::vector<double> x = testsignals::noise(frames, 3, 20000.0, 9);
    std::vector<double> x1(frames), x2(2 * static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        x1[i] = x2[2 * i] = x[3 * i];
        x2[2 * i + 1] = x[3 * i + 1];
    }
    const std::vector<double> y1 = run(mono, x1, 1, 576);
    const std::vector<double> y2 = run(stereo, x2, 2, 576);
    const std::vector<double> y3 = run(wide, x, 3, 576);
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(y1[i], y2[2 * i]) << i;
        ASSERT_EQ(y3[3 * i], y2[2 * i]) << i;
        ASSERT_EQ(y3[3 * i + 1], y2[2 * i + 1]) << i;
        ASSERT_EQ(y3[3 * i + 2], i < kLatency ? 0.0 : x[3 * (i - kLatency) + 2]) << i;
    }
}

// A tail with a guard zone behind it: nothing may be written there, and
// every value must be finite.
void expectSoundTail(int onset, int spacing, int length) {
    ModuleRandom random(1234);
    std::vector<double> buffer(static_cast<size_t>(length) + 64, 777.0);
    generateReverbTail(random, onset, spacing, buffer.data(), length);
    double peak = 0.0;
    for (int i = 0; i < length; ++i) {
        ASSERT_TRUE(std::isfinite(buffer[i])) << "onset " << onset << " spacing " << spacing << " at " << i;
        peak = std::max(peak, std::fabs(buffer[i]));
    }
    for (size_t i = length; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 777.0) << "written past the tail";
    EXPECT_GT(peak, 0.0);
    EXPECT_LE(peak, 0.6 * 1.5);
}

TEST(ModalReverbTest, TailOnsetsThatTheFormulasLeaveOpenStayFiniteAndInside) {
    expectSoundTail(90, 90, 5000);    // M = 1: a single onset pulse
    expectSoundTail(90, 60, 5000);    // M = 1 with a remainder
    expectSoundTail(500, 0, 5000);    // no spacing: one sample
    expectSoundTail(500, -40, 5000);  // a negative spacing
    expectSoundTail(9000, 3, 5000);   // an onset longer than the tail
    expectSoundTail(40, 80, 5000);    // M = 0: dense from the start
    // The ordinary case: M = 1000 / 10 onset samples with gaps shrinking from
    // about ten samples to one (some 22 pulses), then noise falling by 7
    // nepers over the rest: 58.6 dB between these two stretches.
    ModuleRandom random(1);
    std::vector<double> tail(30000);
    generateReverbTail(random, 1000, 10, tail.data(), 30000);
    const int pulses = 100 - static_cast<int>(std::count(tail.begin(), tail.begin() + 100, 0.0));
    EXPECT_GE(pulses, 12);
    EXPECT_LE(pulses, 32);
    const double fall = testsignals::rms(tail, 100, 1, 1100) / testsignals::rms(tail, 28900, 1, 29900);
    EXPECT_NEAR(20.0 * std::log10(fall), 58.6, 1.0);
}

}  // namespace

namespace {

// With designs deferred, a stored room waits (the old one keeps playing)
// until a prepared design is installed at a block boundary; from there the
// output is the one an immediate module gives when its values arrive at that
// boundary, bit for bit, through the growth of the convolver's levels.
TEST(ModalReverbTest, DeferredDesignKeepsTheOldRoomUntilInstalledThenMatchesImmediate) {
    clockSeconds = 1700000000;
    ModalReverb immediate(kRate, 2, fakeClock), deferred(kRate, 2, fakeClock);
    deferred.setDeferredDesign(true);
    const std::vector<double> x = testsignals::noise(2 * 44100, 2, 8000.0, 21);
    const std::vector<double> first(x.begin(), x.begin() + 2 * 576), rest(x.begin() + 2 * 576, x.end());

    setRoom(deferred, 12.0, 0.9, 0.4, 0.5, 0.8);
    EXPECT_EQ(run(deferred, first, 2, 576), run(immediate, first, 2, 576)) << "the old room plays on";
    EXPECT_TRUE(deferred.redesignPending());
    EXPECT_FALSE(deferred.installDesign()) << "nothing prepared yet";

    ASSERT_TRUE(deferred.takeDesignRequest());
    deferred.prepareDesign();
    setRoom(immediate, 12.0, 0.9, 0.4, 0.5, 0.8);
    EXPECT_EQ(run(deferred, rest, 2, 576), run(immediate, rest, 2, 576));
    EXPECT_FALSE(deferred.redesignPending());
    EXPECT_EQ(deferred.reverbChannel(1).response(), immediate.reverbChannel(1).response());

    // Values stored while a design was being prepared are not lost.
    setRoom(deferred, 3.0, 0.5, 0.2, 0.3, 0.5);
    ASSERT_TRUE(deferred.takeDesignRequest());
    setRoom(deferred, 4.0, 0.5, 0.2, 0.3, 0.5);
    EXPECT_FALSE(deferred.takeDesignRequest()) << "one request in flight at a time";
    deferred.prepareDesign();
    EXPECT_TRUE(deferred.installDesign());
    EXPECT_TRUE(deferred.redesignPending());
}

}  // namespace
