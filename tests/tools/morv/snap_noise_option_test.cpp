#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_signals.h"

namespace {

// morv process with module 3 (DeNoise) at 44100 Hz: N = 1120, hop 280.
class SnapNoiseOption : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing::TempDir() + "morv_snap_" + std::to_string(getpid()) + "/";
        mkdir(dir.c_str(), 0777);
        input = dir + "noise.wav";
        // Steady noise, 3 s of 16-bit stereo.
        const std::vector<double> noise = testsignals::noise(3 * 44100, 2, 3000.0, 17);
        std::vector<short> samples(noise.begin(), noise.end());
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(input.c_str(), SFM_WRITE, &info);
        sf_writef_short(f, samples.data(), 3 * 44100);
        sf_close(f);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    int run(const std::string& options) {
        const std::string command = std::string(MORV_BINARY) + " process '" + input + "' '" + dir +
                                    "out.wav' --module 3 --quiet " + options + " 2>/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::vector<short> output() { return readFile(dir + "out.wav"); }
    static std::vector<short> readFile(const std::string& path) {
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        EXPECT_NE(f, nullptr);
        if (!f) return {};
        std::vector<short> samples(static_cast<size_t>(info.frames) * info.channels);
        sf_readf_short(f, samples.data(), info.frames);
        sf_close(f);
        return samples;
    }
    static void writeFile(const std::string& path, const std::vector<short>& samples) {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        sf_writef_short(f, samples.data(), static_cast<sf_count_t>(samples.size() / 2));
        sf_close(f);
    }
    // Frames from first on whose both channels are exactly 0, counted until
    // the first frame that is not.
    static int silentRun(const std::vector<short>& s, int first) {
        int frame = first;
        while (2 * frame + 1 < static_cast<int>(s.size()) && s[2 * frame] == 0 && s[2 * frame + 1] == 0) ++frame;
        return frame - first;
    }
    static int loudFrames(const std::vector<short>& s, int from, int to) {
        int count = 0;
        for (int frame = from; frame < to; ++frame) count += s[2 * frame] != 0 || s[2 * frame + 1] != 0;
        return count;
    }

    std::string dir;
    std::string input;
};

TEST_F(SnapNoiseOption, LearningSilenceStartsTheOutput) {
    ASSERT_EQ(run("--set NoiseLen=0.2"), 0);
    const std::vector<short> out = output();
    ASSERT_EQ(out.size(), 2u * 3 * 44100);
    // Frames 0 .. 36 learn; frame 37 reaches back to input frame 9520
    // (0.216 s) and every output frame from 10360 (0.235 s) is suppressed
    // noise. The quietest of the first suppressed samples truncate to 0.
    const int silence = silentRun(out, 0);
    EXPECT_GE(silence, 9520);
    EXPECT_LE(silence, 10360);
    EXPECT_GT(loudFrames(out, 10360, 20000), 9000);
}

// Frames run once the given number of input frames has been queued: the
// last hop always waits for more input.
int framesRunAfter(int inputFrames) { return (inputFrames - 280 + 279) / 280; }
// The snap happens before the 576-frame block that holds the point.
int blockStartOf(double seconds) { return static_cast<int>(seconds * 44100) / 576 * 576; }

TEST_F(SnapNoiseOption, RestartsTheCaptureAtThatPointOfTheInput) {
    ASSERT_EQ(run("--set NoiseLen=0.2 --snap-noise 1.0 --snap-noise 2"), 0);
    const std::vector<short> out = output();
    ASSERT_EQ(out.size(), 2u * 3 * 44100);
    // 1.0 s falls in the block from input frame 43776; by then frames
    // 0 .. 155 have run and emitted 156 - 3 hops, 42840 output frames. The
    // snap drops one overlap (840 frames), which goes back in as silence, and
    // the next 34 emitted hops come from learning frames: 9520 silent frames.
    const int firstRun = framesRunAfter(blockStartOf(1.0));
    ASSERT_EQ(firstRun, 156);
    const int firstSnap = (firstRun - 3) * 280;
    EXPECT_GT(loudFrames(out, firstSnap - 800, firstSnap), 700);
    const int first = silentRun(out, firstSnap);
    EXPECT_GE(first, 840 + 9520);
    EXPECT_LE(first, 840 + 9520 + 840);
    EXPECT_GT(loudFrames(out, firstSnap + 840 + 10360, firstSnap + 840 + 20000), 9000);
    // The second snap restarts the count again, at the same place relative
    // to the input.
    const int secondSnap = (framesRunAfter(blockStartOf(2.0)) - 3) * 280;
    EXPECT_GT(loudFrames(out, secondSnap - 800, secondSnap), 700);
    const int second = silentRun(out, secondSnap);
    EXPECT_GE(second, 840 + 9520);
    EXPECT_LE(second, 840 + 9520 + 840);
}

// A tone late in the file comes out where it went in, snap or no snap, and
// a channel left out of the selection stays the input itself.
TEST_F(SnapNoiseOption, TheOutputStaysAlignedWithTheInput) {
    std::vector<short> samples = readFile(input);
    for (int frame = 110250; frame < 110250 + 4410; ++frame) {
        const short tone = static_cast<short>(20000 * std::sin(2 * 3.14159265358979 * 1000 * frame / 44100.0));
        samples[2 * frame] = tone;
        samples[2 * frame + 1] = tone;
    }
    writeFile(input, samples);
    auto onset = [](const std::vector<short>& s) {
        int frame = 100000;
        while (2 * frame < static_cast<int>(s.size()) && std::abs(s[2 * frame]) < 10000) ++frame;
        return frame;
    };
    ASSERT_EQ(run(""), 0);
    const int plain = onset(output());
    ASSERT_EQ(run("--snap-noise 0.5 --snap-noise 1.3 --channels L"), 0);
    const std::vector<short> snapped = output();
    ASSERT_EQ(snapped.size(), samples.size());
    EXPECT_NEAR(onset(snapped), plain, 2);
    EXPECT_NEAR(plain, 110250, 10);
    int differing = 0;
    for (size_t i = 1; i < samples.size(); i += 2) differing += snapped[i] != samples[i];
    EXPECT_EQ(differing, 0) << "the right channel is not selected";
}

TEST_F(SnapNoiseOption, OnlyForDeNoiseAndNonNegativeTimes) {
    EXPECT_EQ(run("--snap-noise 1.0 --module 2"), 2);
    EXPECT_EQ(run("--snap-noise -1"), 2);
    EXPECT_EQ(run("--snap-noise soon"), 2);
    EXPECT_EQ(run("--snap-noise 3.0"), 2) << "the input lasts 3 s: its last frame starts before";
    EXPECT_EQ(run("--snap-noise 1e300"), 2) << "far past any length: no frame number to round to";
    EXPECT_EQ(run("--snap-noise 2.99"), 0);
}

}  // namespace
