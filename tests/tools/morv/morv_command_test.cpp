#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <vector>

#include "tests/support/morv_runner.h"

namespace {

class MorvCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing::TempDir() + "morv_test_" + std::to_string(getpid()) + "/";
        mkdir(dir.c_str(), 0777);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    // A 16-bit WAV of a two-tone signal.
    std::string writeInput(const std::string& name, int frames, int channels, int rate = 44100) {
        const std::string path = dir + name;
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        std::vector<short> samples(static_cast<size_t>(frames) * channels);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>((i * 2654435761u) % 20000) - 10000;
        sf_writef_short(f, samples.data(), frames);
        sf_close(f);
        return path;
    }
    std::vector<short> readAll(const std::string& path, SF_INFO* info) {
        *info = SF_INFO{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, info);
        EXPECT_NE(f, nullptr) << path;
        if (!f) return {};
        std::vector<short> samples(static_cast<size_t>(info->frames) * info->channels);
        sf_readf_short(f, samples.data(), info->frames);
        sf_close(f);
        return samples;
    }
    // Files in the test folder, temporaries included.
    std::vector<std::string> files() {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.' || std::string(e->d_name).size() > 2) names.push_back(e->d_name);
        }
        closedir(d);
        names.erase(std::remove(names.begin(), names.end(), std::string("..")), names.end());
        names.erase(std::remove(names.begin(), names.end(), std::string(".")), names.end());
        return names;
    }
    std::string dir;
};

TEST_F(MorvCommandTest, LevelTuningKeepsTheFileBitForBit) {
    const std::string in = writeInput("in.wav", 10007, 2);
    const MorvRun r = runMorv("process '" + in + "' '" + dir + "out.wav' --module 0 --quiet");
    ASSERT_EQ(r.status, 0) << r.err;
    SF_INFO a, b;
    EXPECT_EQ(readAll(in, &a), readAll(dir + "out.wav", &b));
    EXPECT_EQ(b.frames, 10007);
    EXPECT_EQ(b.channels, 2);
}

TEST_F(MorvCommandTest, GainAndChannelSelectionReachTheFile) {
    const std::string in = writeInput("in.wav", 4000, 2);
    const MorvRun r =
        runMorv("process '" + in + "' '" + dir + "out.flac' --gain 6.0206 --channels L --block 1000 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"frames_in\": 4000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"frames_out\": 4000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Level Tuning"), std::string::npos);
    SF_INFO a, b;
    const std::vector<short> original = readAll(in, &a);
    const std::vector<short> gained = readAll(dir + "out.flac", &b);
    ASSERT_EQ(original.size(), gained.size());
    for (size_t i = 0; i < original.size(); i += 2) {
        const double doubled = original[i] * 2.0000036;  // 10^(6.0206/20)
        const double clamped = doubled > 32767 ? 32767 : doubled < -32768 ? -32768 : doubled;
        ASSERT_EQ(gained[i], static_cast<short>(clamped)) << i;
        ASSERT_EQ(gained[i + 1], original[i + 1]) << "right channel is not selected";
    }
}

TEST_F(MorvCommandTest, PresetsAndSettingsReachTheModule) {
    const std::string in = writeInput("in.wav", 8000, 2);
    MorvRun r = runMorv("process '" + in + "' '" + dir + "lift.wav' --module 'geq-10 bands 1 oct' --preset 'Bass Lift' --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"preset\": \"Bass Lift\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("GEQ-10 Bands 1    Oct"), std::string::npos) << r.out;
    SF_INFO a, b;
    const std::vector<short> original = readAll(in, &a);
    const std::vector<short> lifted = readAll(dir + "lift.wav", &b);
    ASSERT_EQ(lifted.size(), original.size());
    EXPECT_NE(lifted, original);

    // A slider move after a preset switches the list to "Custom".
    r = runMorv("process '" + in + "' '" + dir + "custom.wav' --module 5 --preset 1 --set 1k=3 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"preset\": \"Custom\""), std::string::npos) << r.out;
}

TEST_F(MorvCommandTest, ModulesWithLatencyStillKeepTheLength) {
    // The frame effects hold back up to a frame; the tail comes out while
    // silence is fed after the input ends.
    const std::string in = writeInput("in.wav", 12345, 2);
    for (const char* module : {"1", "2", "3", "8", "16"}) {
        for (const char* block : {"576", "100", "4096"}) {
            const std::string out = dir + "out" + module + "_" + block + ".wav";
            const MorvRun r = runMorv("process '" + in + "' '" + out + "' --quiet --module " + module +
                                        " --block " + block);
            ASSERT_EQ(r.status, 0) << module << " " << r.err;
            SF_INFO info;
            const std::vector<short> samples = readAll(out, &info);
            EXPECT_EQ(info.frames, 12345) << "module " << module << " block " << block;
            bool tailSilent = true;
            for (size_t i = samples.size() - 200; i < samples.size(); ++i) tailSilent &= samples[i] == 0;
            EXPECT_FALSE(tailSilent) << "the end of the input must be in the output, module " << module;
        }
    }
}

TEST_F(MorvCommandTest, WiderHostSamplesKeepTheSignal) {
    const std::string in = writeInput("in.wav", 3000, 1, 48000);
    for (const char* bits : {"24", "32"}) {
        const std::string out = dir + "out" + bits + ".wav";
        const MorvRun r = runMorv("process '" + in + "' '" + out + "' --bits " + bits + " --quiet");
        ASSERT_EQ(r.status, 0) << r.err;
        SF_INFO a, b;
        EXPECT_EQ(readAll(in, &a), readAll(out, &b)) << bits;
        EXPECT_EQ(b.samplerate, 48000);
    }
}

TEST_F(MorvCommandTest, ListNamesEveryModuleWithItsMarkerApart) {
    const MorvRun text = runMorv("list");
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find(" 0 \xE2\x97\x87 Level Tuning\n"), std::string::npos);
    EXPECT_NE(text.out.find("17 \xE2\x97\x86 Distortion-Whisper"), std::string::npos);
    EXPECT_NE(text.out.find("GEQ-10 Bands 1    Oct"), std::string::npos);
    EXPECT_EQ(text.out.find("ASImpact"), std::string::npos) << "index 18 is never offered";
    const MorvRun json = runMorv("list --json");
    ASSERT_EQ(json.status, 0);
    EXPECT_EQ(json.out.front(), '[');
    EXPECT_NE(json.out.find("\"index\": 17"), std::string::npos);
    EXPECT_NE(json.out.find("\"presets\": [{\"name\": \"FLAT\", \"gain\": 0, \"values\": [0, 0, 0]}"),
              std::string::npos);
    EXPECT_NE(json.out.find("{\"index\": 0, \"name\": \"Level Tuning\", \"marker\": \"\xE2\x97\x87\", \"implemented\": true,\n"
                            "   \"description\": \"passes the audio through: only the master gain and the channel choice act\",\n"
                            "   \"parameters\": [],\n   \"presets\": []}"),
              std::string::npos)
        << json.out;
}

TEST_F(MorvCommandTest, BadCommandLinesExitTwoWithOneLineAndNoOutput) {
    const std::string in = writeInput("in.wav", 100, 2);
    const std::string out = dir + "out.wav";
    struct Case {
        std::string args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"process '" + in + "' '" + out + "' --module 99", "unknown module \"99\"; modules: 0 \"Level Tuning\""},
        {"process '" + in + "' '" + out + "' --module nonsense", "unknown module"},
        {"process '" + in + "' '" + out + "' --preset FLAT", "has no presets"},
        {"process '" + in + "' '" + out + "' --module 5 --preset Nope", "unknown preset \"Nope\"; presets of this module: \"FLAT\", \"1965\""},
        {"process '" + in + "' '" + out + "' --set Gain=2", "unknown parameter \"Gain\""},
        {"process '" + in + "' '" + out + "' --module 16 --set VibF=25", "value of \"VibF\" out of range: 0.5 to 20"},
        {"process '" + in + "' '" + out + "' --module 16 --set VibF", "--set takes NAME=VALUE"},
        {"process '" + in + "' '" + out + "' --module 16 --set VibF=fast", "must be a decimal number"},
        {"process '" + in + "' '" + out + "' --gain 61", "--gain must lie between -60 and 60 dB"},
        {"process '" + in + "' '" + out + "' --bits 12", "--bits must be 16, 24 or 32"},
        {"process '" + in + "' '" + out + "' --block 0", "--block"},
        {"process '" + in + "' '" + out + "' --channels X", "--channels must be LR, L, R or PASS"},
        {"process '" + in + "' '" + dir + "out.mp3'", "must end in .wav or .flac"},
        {"process '" + in + "' '" + dir + "out.flac' --bits 32", "FLAC holds at most 24 bits"},
        {"process '" + in + "' '" + in + "'", "is the input file"},
        {"process '" + in + "'", "needs an input and an output"},
        {"process '" + in + "' '" + out + "' --bogus", "unknown option --bogus"},
        {"frobnicate", "unknown command"},
    };
    for (const Case& c : cases) {
        const MorvRun r = runMorv(c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        if (c.args != "frobnicate") {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
        struct stat info;
        EXPECT_NE(stat(out.c_str(), &info), 0) << "no output for " << c.args;
    }
    EXPECT_EQ(files(), std::vector<std::string>{"in.wav"}) << "no temporary file is left behind";
}

TEST_F(MorvCommandTest, UnreadableFilesExitOne) {
    const std::string out = dir + "out.wav";
    MorvRun r = runMorv("process '" + dir + "missing.wav' '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no such file"), std::string::npos) << r.err;

    FILE* junk = fopen((dir + "junk.wav").c_str(), "w");
    fputs("this is not audio", junk);
    fclose(junk);
    r = runMorv("process '" + dir + "junk.wav' '" + out + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;

    const std::string in = writeInput("in.wav", 100, 2);
    r = runMorv("process '" + in + "' '" + dir + "no/such/folder/out.wav'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    struct stat info;
    EXPECT_NE(stat(out.c_str(), &info), 0);
}

TEST_F(MorvCommandTest, ExistingOutputIsReplacedOnlyOnSuccess) {
    const std::string in = writeInput("in.wav", 100, 2);
    const std::string out = dir + "out.wav";
    FILE* keep = fopen(out.c_str(), "w");
    fputs("previous", keep);
    fclose(keep);
    MorvRun r = runMorv("process '" + in + "' '" + out + "' --module 99");
    EXPECT_EQ(r.status, 2);
    char text[16] = {};
    FILE* f = fopen(out.c_str(), "r");
    fread(text, 1, sizeof text - 1, f);
    fclose(f);
    EXPECT_STREQ(text, "previous");
    r = runMorv("process '" + in + "' '" + out + "' --quiet");
    EXPECT_EQ(r.status, 0);
    SF_INFO info;
    EXPECT_EQ(readAll(out, &info).size(), 200u);
}

}  // namespace
