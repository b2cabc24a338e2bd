#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

class EffectSession : public MorvFileTest {
protected:
    void SetUp() override {
        MorvFileTest::SetUp();
        write("in.wav", testsignals::noise(2000, 2, 0.2), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }
    MorvRun process(const std::string& options) {
        return runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json " + options);
    }
};

TEST_F(EffectSession, TheGainIsASliderMoveLikeAnyOther) {
    MorvRun r = process("-m 5 -p 'Vocal Boost'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"preset\": \"Vocal Boost\", \"gain_db\": -2,"), std::string::npos) << r.out;
    r = process("-m 5 -p 'Vocal Boost' --gain 3");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"preset\": \"Custom\", \"gain_db\": 3,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"2k\": 6.5"), std::string::npos) << "the preset's bands stay: " << r.out;
}

TEST_F(EffectSession, NumbersAreDecimalAndNothingElse) {
    const std::vector<std::pair<std::string, std::string>> accepted = {
        {"--set 62=1e-400", "\"62\": 0,"},   {"--set 62=-3.5", "\"62\": -3.5,"}, {"--set 62=+.5", "\"62\": 0.5,"},
        {"--gain=1E1", "\"gain_db\": 10,"}, {"--set 62=2.", "\"62\": 2,"},
    };
    for (const auto& c : accepted) {
        const MorvRun r = process("-m 5 " + c.first);
        EXPECT_EQ(r.status, 0) << c.first << ": " << r.err;
        EXPECT_NE(r.out.find(c.second), std::string::npos) << c.first << ": " << r.out;
    }
    for (const char* refused : {"--set 62=0x10", "--set 62=5abc", "--set '62= 5'", "--set 62=1e400", "--set 62=inf",
                                "--set 62=nan", "--set 62=", "--set 62=1e", "--gain 0x1p3", "--block 0x10",
                                "--block '+ 5'", "--block 1.5"}) {
        const MorvRun r = process("-m 5 " + std::string(refused));
        EXPECT_EQ(r.status, 2) << refused;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << refused << ": " << r.err;
    }
}

}  // namespace
