#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

using RenderJobFaults = MorvFileTest;

// Noise in both channels, 16-bit: each channel distinct.
std::vector<double> stereoNoise(int frames, uint32_t seed = 5) {
    std::vector<double> x = testsignals::noise(frames, 2, 0.3, seed);
    for (double& v : x) v = static_cast<int>(v * 32768.0) / 32768.0;
    return x;
}

TEST_F(RenderJobFaults, AnUnselectedChannelComesOutAsItWentIn) {
    const std::vector<double> input = stereoNoise(20000);
    write("in.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    for (const char* module : {"1", "2", "3"}) {
        for (int selected = 0; selected < 2; ++selected) {
            const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --quiet --module " + module +
                                      " --channels " + (selected ? "R" : "L"));
            ASSERT_EQ(r.status, 0) << r.err;
            const std::vector<double> out = read("out.wav");
            ASSERT_EQ(out.size(), input.size());
            int changed = 0, differing = 0;
            for (size_t i = 0; i < input.size(); i += 2) {
                differing += out[i + 1 - selected] != input[i + 1 - selected];
                changed += out[i + selected] != input[i + selected];
            }
            EXPECT_EQ(differing, 0) << "module " << module << ", unselected channel " << 1 - selected;
            if (module[0] != '1') {
                EXPECT_GT(changed, 1000) << "module " << module << " processed its channel";
            }
        }
    }
}

TEST_F(RenderJobFaults, ARateOrTempoChangeSizesTheFileByItsFactor) {
    const int frames = 44100;
    write("in.wav", stereoNoise(frames), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    struct Case {
        const char* options;
        double ratio;
    };
    for (const Case& c : {Case{"--module 13 --preset UpSample", std::pow(2.0, 0.4)},
                          Case{"--module 13 --set Ratio=-1.5", std::pow(2.0, -1.5)},
                          Case{"--module 14 --preset SlowDown", 1050.0 / 795.0},
                          Case{"--module 14 --preset SpeedUp", 1050.0 / 1385.0},
                          Case{"--module 15 --preset Child", 1.0},
                          Case{"--module 13 --preset UpSample --channels PASS", 1.0}}) {
        const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json " + c.options);
        ASSERT_EQ(r.status, 0) << c.options << ": " << r.err;
        EXPECT_EQ(static_cast<long>(read("out.wav").size() / 2), std::lround(frames * c.ratio)) << c.options;
        const size_t factor = r.out.find("\"length_factor\": ");
        ASSERT_NE(factor, std::string::npos) << r.out;
        EXPECT_NEAR(std::stod(r.out.substr(factor + 17)), c.ratio, 1e-12) << c.options;
        // A WAV streamed into a pipe declares that length ahead.
        const MorvRun piped =
            runMorv("process " + q("in.wav") + " - --quiet " + c.options + " | cat > " + q("piped.wav"));
        ASSERT_EQ(piped.status, 0) << c.options << ": " << piped.err;
        std::ifstream file(dir + "piped.wav", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 44u);
        uint32_t declared = 0;  // the data chunk's size, little-endian
        for (int b = 3; b >= 0; --b) declared = declared << 8 | static_cast<unsigned char>(bytes[40 + b]);
        EXPECT_EQ(declared, bytes.size() - 44) << c.options;
    }
}

// The tempo scaler emits its first frame whole and follows the input by a
// part of a frame from then on; the file drops that lead rather than the end.
TEST_F(RenderJobFaults, ATempoChangeKeepsItsOutputInLineWithTheInput) {
    const int frames = 2 * 44100, spacing = 11025;
    std::vector<double> input(2 * frames, 0.0);
    for (int i = spacing; i < frames; i += spacing) input[2 * i] = input[2 * i + 1] = 0.5;
    write("in.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --quiet --module 14 --set Tempo=0");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> out = read("out.wav");
    ASSERT_EQ(out.size(), input.size());
    for (int i = spacing; i < frames; i += spacing) {
        int peak = i - 100;
        for (int j = i - 100; j < std::min(frames, i + 3000); ++j)
            if (std::fabs(out[2 * j]) > std::fabs(out[2 * peak])) peak = j;
        EXPECT_EQ(peak, i);
        EXPECT_NEAR(out[2 * peak], 0.5, 0.01) << "click at " << i;
    }
}

// Float files hold the same values as a 24-bit rendering; both go through an
// equaliser preset and must agree to the last bit of 24.
TEST_F(RenderJobFaults, FloatInputIsScaledLikeItsTwentyFourBitRendering) {
    std::vector<double> values = testsignals::sine(30000, 2, 44100, 220, 0.4);
    const std::vector<double> hiss = testsignals::noise(30000, 2, 0.05, 9);
    for (size_t i = 0; i < values.size(); ++i) values[i] = std::round((values[i] + hiss[i]) * 8388608.0) / 8388608.0;
    write("in24.wav", values, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    MorvRun r = runMorv("process " + q("in24.wav") + " " + q("out24.wav") + " -q -m GEQ-10 -p 'Bass Lift'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> reference = read("out24.wav");
    ASSERT_GT(testsignals::rms(reference), 0.1);
    const std::vector<std::pair<std::string, int>> files = {
        {"f32.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},    {"f64.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
        {"f32.aifc", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},  {"f32.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
        {"f64.w64", SF_FORMAT_W64 | SF_FORMAT_DOUBLE},
    };
    for (const auto& file : files) {
        write(file.first, values, 2, file.second);
        r = runMorv("process " + q(file.first) + " " + q("out.wav") + " -q -m GEQ-10 -p 'Bass Lift'");
        ASSERT_EQ(r.status, 0) << file.first << ": " << r.err;
        SF_INFO info;
        const std::vector<double> out = read("out.wav", &info);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << file.first << ": float in, float out";
        ASSERT_EQ(out.size(), reference.size()) << file.first;
        double worst = 0.0;
        for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, std::fabs(out[i] - reference[i]));
        EXPECT_LE(worst, 1.0 / 8388608.0) << file.first;
    }
}

// A damaged input keeps what could be read, says so in one line on standard
// error and in the JSON summary; a whole one says nothing.
TEST_F(RenderJobFaults, DamagedInputIsReported) {
    const std::vector<double> noise = stereoNoise(88200, 3);
    write("whole.wav", noise, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    write("whole.flac", noise, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    auto bytes = [&](const std::string& name) {
        std::ifstream in(dir + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    auto save = [&](const std::string& name, const std::string& data) {
        std::ofstream(dir + name, std::ios::binary) << data;
    };
    const std::string flac = bytes("whole.flac"), wav = bytes("whole.wav");
    save("half.flac", flac.substr(0, flac.size() / 2));
    std::string garbage = flac;
    for (size_t i = 0; i < 2048; ++i) garbage[flac.size() / 3 + i] = static_cast<char>(i * 7919 % 251);
    save("garbage.flac", garbage);
    save("cut.wav", wav.substr(0, wav.size() * 3 / 5));
    std::string huge = wav.substr(0, 4096);
    huge.replace(40, 4, std::string("\x00\xff\xff\xff", 4));  // data chunk: 4 GiB less 256 bytes
    save("huge.wav", huge);

    for (const char* name : {"whole.wav", "whole.flac"}) {
        const MorvRun r = runMorv("process " + q(name) + " " + q("out.wav") + " --json");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "") << name;
        EXPECT_NE(r.out.find("\"frames_in\": 88200, \"frames_out\": 88200, \"frames_expected\": 88200, "
                             "\"input_complete\": true, \"input_problem\": null"),
                  std::string::npos)
            << r.out;
    }
    for (const char* name : {"half.flac", "garbage.flac", "cut.wav", "huge.wav"}) {
        const MorvRun r = runMorv("process " + q(name) + " " + q("out.wav") + " --json");
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind(std::string("morv process: warning: ") + dir + name, 0), 0u) << r.err;
        EXPECT_NE(r.out.find("\"input_complete\": false, \"input_problem\": \"" + dir + name), std::string::npos)
            << r.out;
        SF_INFO info;
        read("out.wav", &info);
        EXPECT_GT(info.frames, 0) << name;
        EXPECT_LT(info.frames, 88200) << name;
        EXPECT_NE(r.out.find("\"frames_out\": " + std::to_string(info.frames)), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\"frames_in\": " + std::to_string(info.frames)), std::string::npos) << r.out;
    }
}

// The count of clipped samples is what the clamp changed, not what sits at
// full scale already; float input above full scale is counted as it is
// read, and an input gain makes room for it. Every warning names its file.
TEST_F(RenderJobFaults, ClippingIsCountedWhereItHappensAndNamesTheFile) {
    std::vector<double> noise = stereoNoise(10000);
    for (int i = 0; i < 100; ++i) noise[97 * i] = i % 2 ? 32767.0 / 32768.0 : -1.0;
    const std::string in = write("in.wav", noise, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"clipped_samples\": 0,"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");

    r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --gain 20 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    int overs = 0;
    for (double v : noise) overs += std::fabs(std::pow(10.0, 1.0) * v * 32768.0) >= 32768.0 + (v < 0);
    EXPECT_GT(overs, 10000);
    EXPECT_NE(r.out.find("\"clipped_samples\": " + std::to_string(overs) + ","), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "morv process: warning: " + in + ": " + std::to_string(overs) +
                         " samples clipped at the limits of the 16-bit range\n");

    std::vector<double> hot = testsignals::sine(20000, 2, 44100, 440, std::pow(10.0, 3.0 / 20.0));
    write("hot.wav", hot, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    r = runMorv("process " + q("hot.wav") + " " + q("out.wav") + " --gain -12 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    int above = 0;
    for (double v : hot) above += std::fabs(v) >= 1.0;
    EXPECT_NE(r.out.find("\"input_clipped_samples\": " + std::to_string(above)), std::string::npos) << r.out;
    EXPECT_EQ(r.err.rfind("morv process: warning: " + dir + "hot.wav: " + std::to_string(above) +
                              " input samples above full scale were clipped as they were read; "
                              "--input-gain -3.1 makes room\n", 0),
              0u)
        << r.err;
    r = runMorv("process " + q("hot.wav") + " " + q("out.wav") + " --gain -12 --input-gain -3.1 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("\"input_clipped_samples\": 0"), std::string::npos) << r.out;
    double peak = 0.0;
    for (double v : read("out.wav")) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(20.0 * std::log10(peak), 3.0 - 12.0 - 3.1, 0.01) << "the peak survives, not a flat top";

    // Errors name the input too, and a WAV with no frames is whole.
    const std::string empty = write("empty.wav", {}, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    r = runMorv("process " + q("empty.wav") + " " + q("out.wav") + " --bits 17");
    EXPECT_EQ(r.err, "morv process: " + empty + ": --bits must be 16, 24 or 32\n");
    r = runMorv("process " + q("empty.wav") + " " + q("out.wav") + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("\"frames_expected\": 0, \"input_complete\": true"), std::string::npos) << r.out;
}

}  // namespace
