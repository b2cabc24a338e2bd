#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

class Conventions : public MorvFileTest {
protected:
    void SetUp() override {
        MorvFileTest::SetUp();
        input = testsignals::noise(10007, 2, 0.3, 4);
        for (double& v : input) v = static_cast<int>(v * 32768.0) / 32768.0;
        write("in.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        write("in.flac", input, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
        write("in24.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
        write("-odd.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }
    int formatOf(const std::string& name) {
        SF_INFO info;
        read(name, &info);
        return info.format;
    }
    std::vector<double> input;
};

TEST_F(Conventions, StandardInputAndOutput) {
    const std::string m = MORV_BINARY;
    // WAV through two pipes, the summary on standard error.
    MorvRun r = runMorv("process - - --json < " + q("in.wav") + " > " + q("piped.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("\"input\": \"-\", \"output\": \"-\""), std::string::npos) << r.err;
    EXPECT_EQ(read("piped.wav"), input);
    r = runMorv("process - - -q < " + q("in.flac") + " | cat > " + q("pipe.flac"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(formatOf("pipe.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << "the input's format";
    EXPECT_EQ(read("pipe.flac"), input);
    r = runMorv("process - - -q --type flac < " + q("in.wav") + " | cat > " + q("typed.flac"));
    EXPECT_EQ(formatOf("typed.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    // FLAC into a pipe has no length; the WAV made from it leaves its length
    // open, and read back it is whole.
    r = runMorv("process " + q("in.wav") + " - -q --type flac | " + m + " process - - -q --type wav | " + m +
                " process - " + q("chain.wav") + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"frames_in\": 10007, \"frames_out\": 10007, \"frames_expected\": null, "
                         "\"input_complete\": true"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read("chain.wav"), input);
}

TEST_F(Conventions, OptionSpellingsHelpAndVersion) {
    const std::string expected = "\"module_index\": 5, \"module\": \"GEQ-10 Bands 1    Oct\"";
    for (const char* options : {"--module=5 --preset=1 --set=1k=3 --gain=-1 --channels=L --block=100 --bits=16",
                                "-m 5 -p 1 -s 1k=3 -g -1 --channels L", "-m5 -p1 -s1k=3 -g-1 --channels L"}) {
        const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json " + options);
        ASSERT_EQ(r.status, 0) << options << ": " << r.err;
        EXPECT_NE(r.out.find(expected), std::string::npos) << options << ": " << r.out;
        EXPECT_NE(r.out.find("\"preset\": \"Custom\", \"gain_db\": -1,"), std::string::npos) << r.out;
    }
    MorvRun r = runMorv("process -q -- " + q("-odd.wav") + " " + q("out.wav"));
    EXPECT_EQ(r.status, 0) << r.err;
    r = runMorv("process -q " + q("in.wav") + " " + q("out.wav") + " --quiet=yes");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("option --quiet takes no value"), std::string::npos) << r.err;

    for (const char* help : {"help", "--help", "help process", "process --help", "list -h", "response --help"}) {
        r = runMorv(help);
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_NE(r.out.find("morv "), std::string::npos) << help;
        EXPECT_EQ(r.err, "") << help;
    }
    r = runMorv("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("morv (MORV Studio) 1.0", 0), 0u) << r.out;
}

TEST_F(Conventions, OutputDepthFollowsTheInput) {
    const std::vector<std::vector<std::string>> cases = {
        {"in.wav", "out.wav", "", "16"}, {"in24.wav", "out.wav", "", "24"}, {"in24.wav", "out.flac", "", "24"},
        {"in24.wav", "out.wav", "--bits 16", "16"}, {"in.wav", "out.wav", "--bits 32", "32"},
    };
    for (const auto& c : cases) {
        const MorvRun r = runMorv("process " + q(c[0]) + " " + q(c[1]) + " --json " + c[2]);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\"bits\": " + c[3] + ","), std::string::npos) << c[0] << " " << c[2] << ": " << r.out;
        const int subtype = formatOf(c[1]) & SF_FORMAT_SUBMASK;
        EXPECT_EQ(subtype, c[3] == "16" ? SF_FORMAT_PCM_16 : c[3] == "24" ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_32);
    }
}

TEST_F(Conventions, SummaryFieldsAndNumbers) {
    const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json -m 3 --set Thresh=0.85 -g 20");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"input\": \"" + dir + "in.wav\", \"output\": \"" + dir + "out.wav\""), std::string::npos);
    EXPECT_NE(r.out.find("\"module_index\": 3, \"module\": \"Restoration-DeNoise\", \"marker\": \"\xE2\x97\x86\""),
              std::string::npos);
    EXPECT_NE(r.out.find("\"gain_db\": 20, \"parameters\": {\"Thresh\": 0.85, \"NoiseLen\": 0.2}, \"bits\": 16"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("e+"), std::string::npos) << r.out;
    for (const char* key : {"clipped_samples", "peak_dbfs", "output_format"}) {
        EXPECT_NE(r.out.find(std::string("\"") + key + "\": "), std::string::npos) << key;
    }
    // The whole run takes longer than the processing inside it.
    auto number = [&](const char* key) {
        std::smatch m;
        std::regex_search(r.out, m, std::regex(std::string("\"") + key + "\": ([0-9.e-]+)"));
        return m.empty() ? -1.0 : std::stod(m[1]);
    };
    EXPECT_GT(number("processing_seconds"), 0.0);
    EXPECT_GE(number("wall_seconds"), number("processing_seconds"));
    EXPECT_GT(number("realtime_factor"), 0.0);
    EXPECT_LE(number("realtime_factor"), number("processing_realtime_factor"));
}

}  // namespace
