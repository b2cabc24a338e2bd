// One scale for parameters: list, --set, the presets, the
// JSON summary and the manual all give a parameter as the module stores it,
// with the quantity the window's knob shows beside it where that differs,
// and --set takes that quantity too when its unit is written.

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

class ParameterScale : public MorvFileTest {
protected:
    void SetUp() override {
        MorvFileTest::SetUp();
        write("in.wav", testsignals::sine(kFrames, 2, 44100, 440.0, 0.3), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }
    MorvRun process(const std::string& options) {
        return runMorv("process " + q("in.wav") + " " + q("out.wav") + " --json " + options);
    }
    // The value of one parameter in a JSON summary.
    static double parameter(const std::string& json, const std::string& name) {
        std::smatch m;
        const std::regex value("\"" + name + "\": (-?[0-9.e+-]+)[,}]");
        EXPECT_TRUE(std::regex_search(json, m, value)) << json;
        return m.empty() ? NAN : std::stod(m[1]);
    }
    static long framesOut(const std::string& json) {
        std::smatch m;
        EXPECT_TRUE(std::regex_search(json, m, std::regex("\"frames_out\": ([0-9]+)"))) << json;
        return m.empty() ? -1 : std::stol(m[1]);
    }
    static constexpr int kFrames = 22050;
};

TEST_F(ParameterScale, SetTakesTheStoredValueOrTheKnobsQuantityWithItsUnit) {
    struct Case {
        const char* module;
        const char* setting;
        const char* name;
        double stored;
    };
    const std::vector<Case> cases = {
        {"13", "Ratio=0.5x", "Ratio", -1.0},   {"13", "Ratio=2x", "Ratio", 1.0},     {"13", "Ratio=-1", "Ratio", -1.0},
        {"13", "Ratio=1X", "Ratio", 0.0},      {"14", "Tempo=0.5x", "Tempo", -1.0},  {"15", "Pitch=3x", "Pitch", 1.0},
        {"15", "Pitch=1x", "Pitch", 0.0},      {"16", "Delay=1000us", "Delay", -3.0}, {"16", "Delay=1ms", "Delay", -3.0},
        {"16", "Delay=100000us", "Delay", -1.0}, {"16", "Delay=10us", "Delay", -5.0},  {"16", "Delay=-2", "Delay", -2.0},
        {"16", "VibF=5Hz", "VibF", 5.0},       {"9", "LowF=0.2kHz", "LowF", 200.0},   {"9", "LowF=300", "LowF", 300.0},
        {"3", "NoiseLen=500ms", "NoiseLen", 0.5}, {"5", "1k=3dB", "1k", 3.0},       {"12", "Azim=-40deg", "Azim", -40.0},
    };
    for (const Case& c : cases) {
        const MorvRun r = process(std::string("-m ") + c.module + " --set '" + c.setting + "'");
        ASSERT_EQ(r.status, 0) << c.setting << ": " << r.err;
        EXPECT_EQ(parameter(r.out, c.name), c.stored) << c.setting;
    }
    // Pitch 1.5x: 3^Pitch = 1.5.
    const MorvRun r = process("-m 15 --set Pitch=1.5x");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(std::pow(3.0, parameter(r.out, "Pitch")), 1.5, 1e-12);
}

// The factor of Ratio and Tempo is the output's length over the input's:
// 2x makes the file twice as long, 0.5x half as long.
TEST_F(ParameterScale, TheFactorIsWhatTheModuleDoes) {
    for (const char* setting : {"-m Resampler --set Ratio=2x", "-m Tempo --set Tempo=2x"}) {
        const MorvRun r = process(setting);
        ASSERT_EQ(r.status, 0) << setting << ": " << r.err;
        EXPECT_NEAR(framesOut(r.out), 2 * kFrames, 0.01 * kFrames) << setting;
    }
    for (const char* setting : {"-m Resampler --set Ratio=0.5x", "-m Tempo --set Tempo=0.5x"}) {
        const MorvRun r = process(setting);
        ASSERT_EQ(r.status, 0) << setting << ": " << r.err;
        EXPECT_NEAR(framesOut(r.out), kFrames / 2, 0.01 * kFrames) << setting;
    }
}

TEST_F(ParameterScale, OutOfRangeAndWrongUnitsSayWhatTheParameterTakes) {
    struct Case {
        const char* options;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"-m 13 --set Ratio=2",
         "value of \"Ratio\" out of range: -1.5 to 1 as stored, or 0.354\xC3\x97 to 2\xC3\x97 written with its unit "
         "(x, \xC3\x97), such as Ratio=2x"},
        {"-m 13 --set Ratio=3x", "value of \"Ratio\" out of range: 3x; it takes -1.5 to 1 as stored"},
        {"-m 13 --set Ratio=0x", "value of \"Ratio\" out of range: 0x"},
        {"-m 16 --set Delay=5Hz", "value of \"Delay\": unknown unit \"Hz\"; it takes -5 to -1 as stored, or 10 \xC2\xB5s "
                                  "to 100000 \xC2\xB5s written with its unit (us, \xC2\xB5s, \xCE\xBCs, ms, s)"},
        {"-m 16 --set Delay=1s", "value of \"Delay\" out of range: 1s"},
        {"-m 16 --set VibF=25", "value of \"VibF\" out of range: 0.5 to 20 Hz, with or without its unit (Hz, kHz)"},
        {"-m 1 --set Thresh=5x", "value of \"Thresh\" takes no unit, not \"x\""},
        {"-m 16 --set VibF=x", "value of VibF must be a decimal number, not \"x\""},
    };
    for (const Case& c : cases) {
        const MorvRun r = process(c.options);
        EXPECT_EQ(r.status, 2) << c.options;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.options << "\n" << r.err;
    }
}

// The listing and the manual give the stored range with the knob's quantity
// beside it, and no longer call a length factor a speed factor.
TEST_F(ParameterScale, ListAndManualGiveTheStoredRangeWithTheKnobsQuantity) {
    const MorvRun list = runMorv("list");
    const MorvRun manual = runMorv("manual --html");
    ASSERT_EQ(list.status, 0);
    ASSERT_EQ(manual.status, 0);
    EXPECT_NE(list.out.find("      Ratio    -1.5 to 1, default 0 (1\xC3\x97)        output length \xC3\x97"
                            "2^Ratio (speed and pitch \xC3\x97" "2^-Ratio): 0.354\xC3\x97 to 2\xC3\x97\n"),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("      preset  1 \"DownSample\"     0 dB, -0.4 (0.758\xC3\x97)\n"), std::string::npos);
    EXPECT_NE(manual.out.find("<tr><td>Delay</td><td>-1 (100000 \xC2\xB5s)</td><td>-5 (10 \xC2\xB5s)</td><td>-3 "
                              "(1000 \xC2\xB5s)</td>"),
              std::string::npos);
    for (const MorvRun* r : {&list, &manual}) EXPECT_EQ(r->out.find("speed factor"), std::string::npos);
}

// Every value a knob can show, written with its unit, is the stored value it
// was shown for: the two forms are one scale.
TEST_F(ParameterScale, EveryShownValueReadsBackAsItsStoredValue) {
    const MorvRun json = runMorv("list --json");
    ASSERT_EQ(json.status, 0);
    const std::regex shown("\\{\"name\": \"([^\"]+)\", \"max\": ([^,]+), \"min\": ([^,]+), \"default\": ([^,]+), "
                           "\"unit\": \"([^\"]+)\", \"meaning\": \"[^\"]*\", \"shown\": \\{\"max\": ([^,]+), "
                           "\"min\": ([^,]+), \"default\": ([^}]+)\\}\\}");
    const std::regex index("\\{\"index\": ([0-9]+)");
    int found = 0;
    for (auto it = std::sregex_iterator(json.out.begin(), json.out.end(), shown); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        // The module is the last index before the parameter.
        const std::string before = json.out.substr(0, m.position(0));
        std::smatch last;
        std::string module;
        for (auto i = std::sregex_iterator(before.begin(), before.end(), index); i != std::sregex_iterator(); ++i)
            module = (*i)[1];
        const std::string unit = m[5] == "\xC3\x97" ? "x" : m[5] == "\xC2\xB5s" ? "us" : m[5].str();
        for (int k = 0; k < 3; ++k) {
            const MorvRun r = process("-m " + module + " --set '" + m[1].str() + "=" + m[6 + k].str() + unit + "'");
            ASSERT_EQ(r.status, 0) << m[1] << "=" << m[6 + k] << unit << ": " << r.err;
            EXPECT_NEAR(parameter(r.out, m[1]), std::stod(m[2 + k]), 1e-12) << m[1] << "=" << m[6 + k] << unit;
        }
        ++found;
    }
    EXPECT_EQ(found, 4) << "Ratio, Tempo, Pitch and Delay are stored as exponents";
}

}  // namespace
