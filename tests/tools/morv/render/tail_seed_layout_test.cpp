// morv through the binary: the reverb's tail past the input's end, the same
// file every run, and every channel layout.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "registry/module_registry.h"
#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

constexpr int kRate = 44100;
constexpr double kLsb16 = 1.0 / 32768.0;

double field(const MorvRun& r, const std::string& name) {
    const size_t at = r.out.find("\"" + name + "\": ");
    return at == std::string::npos ? -1.0 : std::strtod(r.out.c_str() + at + name.size() + 4, nullptr);
}

class MorvRender : public MorvFileTest, public ::testing::WithParamInterface<int> {
protected:
    MorvRun process(const std::string& in, const std::string& out, const std::string& options) {
        return runMorv("process " + q(in) + " " + q(out) + " --json " + options);
    }
};

// A click 50 ms before the end comes out only in the tail; the 16-bit tail
// ends with its last frame that is not silent, where the 32-bit rendering of
// the same room has fallen below a 16-bit step for good.
TEST_F(MorvRender, TheReverbRingsPastTheInputUntilBelowTheLastBit) {
    std::vector<double> x(2 * kRate, 0.0);
    x[2 * (kRate - kRate / 20)] = x[2 * (kRate - kRate / 20) + 1] = 0.9;
    write("click.wav", x, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const MorvRun ring = process("click.wav", "16.wav", "-m Reverb");
    ASSERT_EQ(process("click.wav", "32.wav", "-m Reverb --bits 32").status, 0);
    const std::vector<double> y16 = read("16.wav"), y32 = read("32.wav");
    EXPECT_EQ(field(ring, "tail_frames"), y16.size() / 2 - kRate);
    EXPECT_NE(y16.back(), 0.0);
    ASSERT_GT(y32.size(), y16.size());
    for (size_t i = y16.size(); i < y32.size(); ++i) ASSERT_LT(std::fabs(y32[i]), kLsb16) << i;

    const MorvRun none = process("click.wav", "0.wav", "-m Reverb --tail 0");
    EXPECT_EQ(field(none, "tail_frames"), 0);
    EXPECT_EQ(read("0.wav"), std::vector<double>(2 * kRate, 0.0)) << "the input's length: no click";
    process("click.wav", "q.wav", "-m Reverb --tail 0.25");
    const std::vector<double> q = read("q.wav");
    ASSERT_EQ(q.size(), 2u * (kRate + kRate / 4));
    EXPECT_TRUE(std::equal(q.begin(), q.end(), y16.begin())) << "one rendering, cut at another length";
    EXPECT_EQ(process("click.wav", "bad.wav", "--tail -1").status, 2);
}

// Every module, run twice in different seconds of the clock the player seeds
// the reverb from, gives the same file; another --seed gives another tail.
TEST_P(MorvRender, TwoRunsGiveTheSameFile) {
    write("in.wav", testsignals::noise(kRate / 2, 2, 0.3, 3), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string m = "-m " + std::to_string(GetParam());
    const MorvRun first = process("in.wav", "a.wav", m);
    const std::time_t second = std::time(nullptr);
    while (std::time(nullptr) == second) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    process("in.wav", "b.wav", m);
    EXPECT_EQ(field(first, "seed"), 1);
    EXPECT_EQ(read("a.wav"), read("b.wav"));
    if (GetParam() != kModuleModalReverb) return;
    process("in.wav", "c.wav", m + " --seed 4294967295");
    EXPECT_NE(read("a.wav"), read("c.wav"));
    EXPECT_EQ(process("in.wav", "bad.wav", m + " --seed -1").status, 2);
}

INSTANTIATE_TEST_SUITE_P(EveryModule, MorvRender, ::testing::Range(0, kSelectableModuleCount));

// 5.1 through the modules that take only the pair: L and R as from the
// stereo file, channels 3 to 6 dry and late by the module's latency. A mono
// file through the 3D placement comes out with two ears.
TEST_F(MorvRender, ChannelsPastThePairFollowItAndMonoGetsTwoEars) {
    const std::vector<double> x = testsignals::noise(kRate / 2, 6, 0.4, 21);
    std::vector<double> pair, mono;
    for (size_t i = 0; i < x.size(); i += 6) pair.insert(pair.end(), {x[i], x[i + 1]}), mono.push_back(x[i]);
    write("6.wav", x, 6, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    write("2.wav", pair, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    write("1.wav", mono, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::vector<double> in = read("6.wav");
    for (int module : {kModuleDeVocalMono, kModuleDeVocalStereo, kModuleModalReverb, kModuleVirtual3D}) {
        const std::string m = "-m " + std::to_string(module);
        ASSERT_EQ(process("6.wav", "o6.wav", m).status, 0);
        process("2.wav", "o2.wav", m);
        const std::vector<double> y = read("o6.wav"), y2 = read("o2.wav");
        ASSERT_EQ(y.size() / 6, y2.size() / 2) << module;
        const size_t late = module == kModuleModalReverb ? 2048 : module == kModuleVirtual3D ? 200 : 0;
        for (size_t f = 0; f < y.size() / 6; ++f) {
            for (int c = 0; c < 6; ++c) {
                const size_t from = 6 * (f - late) + c;
                const double expected = c < 2 ? y2[2 * f + c] : f < late || from >= in.size() ? 0.0 : in[from];
                ASSERT_EQ(y[6 * f + c], expected) << module << " frame " << f << " channel " << c;
            }
        }
    }
    // The speakers a 5.1 WAV names are named in the output too.
    std::vector<int> speakers = {SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT, SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE,
                                 SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT};
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 6;
    info.format = SF_FORMAT_WAVEX | SF_FORMAT_PCM_16;
    SNDFILE* mapped = sf_open((dir + "6x.wav").c_str(), SFM_WRITE, &info);
    sf_command(mapped, SFC_SET_CHANNEL_MAP_INFO, speakers.data(), sizeof(int) * 6);
    sf_writef_double(mapped, x.data(), static_cast<sf_count_t>(x.size() / 6));
    sf_close(mapped);
    ASSERT_EQ(process("6x.wav", "o6x.wav", "-m Reverb").status, 0);
    SF_INFO outInfo{};
    SNDFILE* out = sf_open((dir + "o6x.wav").c_str(), SFM_READ, &outInfo);
    std::vector<int> kept(6);
    sf_command(out, SFC_GET_CHANNEL_MAP_INFO, kept.data(), sizeof(int) * 6);
    sf_close(out);
    EXPECT_EQ(kept, speakers);

    const MorvRun ears = process("1.wav", "e1.wav", "-m Virtual3D --set Azim=-45");
    EXPECT_EQ(field(ears, "channels"), 2);
    std::vector<double> both;
    for (double v : mono) both.insert(both.end(), {v, v});
    write("b.wav", both, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    process("b.wav", "e2.wav", "-m Virtual3D --set Azim=-45");
    EXPECT_EQ(read("e1.wav"), read("e2.wav"));
}

}  // namespace
