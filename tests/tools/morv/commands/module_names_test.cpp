#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

class ModuleNames : public MorvFileTest {
protected:
    void SetUp() override {
        MorvFileTest::SetUp();
        write("in.wav", testsignals::noise(2000, 2, 0.2), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }
    // The module index morv settles on for what was typed, or -1 on refusal.
    int indexFor(const std::string& typed) {
        const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json -m '" + typed + "'");
        std::smatch m;
        if (r.status != 0 || !std::regex_search(r.out, m, std::regex("\"module_index\": (\\d+)"))) return -1;
        return std::stoi(m[1]);
    }
};

TEST_F(ModuleNames, EveryNameMorvPrintsIsAcceptedBack) {
    const MorvRun list = runMorv("list --json");
    ASSERT_EQ(list.status, 0);
    const std::regex entry("\"index\": (\\d+), \"name\": \"([^\"]+)\", \"marker\": \"([^\"]+)\"");
    int modules = 0;
    for (auto it = std::sregex_iterator(list.out.begin(), list.out.end(), entry); it != std::sregex_iterator(); ++it) {
        const int index = std::stoi((*it)[1]);
        const std::string name = (*it)[2], marker = (*it)[3];
        EXPECT_EQ(indexFor(name), index) << name;
        EXPECT_EQ(indexFor(marker + name), index) << marker + name;
        const MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json -m " + std::to_string(index));
        EXPECT_NE(r.out.find("\"module\": \"" + name + "\", \"marker\": \"" + marker + "\""), std::string::npos)
            << r.out;
        ++modules;
    }
    EXPECT_EQ(modules, 18);
}

TEST_F(ModuleNames, ShortAndLooseFormsFindOneModule) {
    const std::vector<std::pair<std::string, int>> forms = {
        {"GEQ-10", 5},       {"GEQ-3", 4},   {"geq-31", 8},      {"geq-10 bands 1 oct", 5}, {"DeNoise", 3},
        {"Reverb", 11},      {"declick", 1}, {"Vibrato", 16},    {"TempoScaler", 14},       {"Level Tuning", 0},
        {"\xA1\xF3GEQ-15 Bands 2/3 Oct", 6},  // the marker as the player stores it
    };
    for (const auto& form : forms) EXPECT_EQ(indexFor(form.first), form.second) << form.first;

    MorvRun r = runMorv("process " + q("in.wav") + " " + q("out.wav") + " -m DeVocal");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"DeVocal\" is ambiguous: 9 \"Spacial-DeVocal Mono\", 10 \"Spacial-DeVocal Stereo\""),
              std::string::npos)
        << r.err;
    r = runMorv("response -m '\xE2\x97\x87GEQ-10 Bands 1    Oct'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("GEQ-10 Bands 1    Oct, preset", 0), 0u) << r.out;
}

}  // namespace
