#include "tools/morv/commands/response_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "effects/eq/eq_band_table.h"
#include "effects/eq/graphic_equalizer.h"
#include "registry/module_registry.h"
#include "tests/support/morv_runner.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// An equaliser with the given gains, designed.
std::unique_ptr<GraphicEqualizer> designed(int moduleIndex, double rate, const std::vector<double>& gains) {
    auto eq = std::make_unique<GraphicEqualizer>(rate, 2, *eqBandTableFor(moduleIndex));
    std::vector<double> values(gains);
    values.resize(kMaxParameters, 0.0);
    eq->setParameters(values.data());
    eq->process(nullptr, nullptr, 0, 0, 3);
    return eq;
}

TEST(ResponseCurveTest, LogGridFromTwentyHertzToHalfTheRate) {
    const std::vector<double> gains(10, 0.0);
    const auto eq = designed(5, 48000.0, gains);
    const ResponseCurve curve = computeResponse(*eq, *eqBandTableFor(5), gains.data(), 101);
    ASSERT_EQ(curve.frequencies.size(), 101u);
    EXPECT_DOUBLE_EQ(curve.frequencies.front(), 20.0);
    EXPECT_DOUBLE_EQ(curve.frequencies.back(), 24000.0);
    // Equal ratios between neighbours: one hundredth of log(24000 / 20) each.
    const double step = std::log(24000.0 / 20.0) / 100.0;
    for (size_t i = 1; i < curve.frequencies.size(); ++i)
        EXPECT_NEAR(std::log(curve.frequencies[i] / curve.frequencies[i - 1]), step, 1e-9);
    for (double db : curve.decibels) EXPECT_NEAR(db, 0.0, 1e-9);
}

TEST(ResponseCurveTest, BandCentresCarryTheCascadeResponse) {
    std::vector<double> gains(31, 0.0);
    gains[17] = 12.0;  // 1 kHz
    gains[30] = -9.0;  // the 20 kHz band, above half of 32 kHz
    const auto eq = designed(8, 32000.0, gains);
    const ResponseCurve curve = computeResponse(*eq, *eqBandTableFor(8), gains.data());
    ASSERT_EQ(curve.bands.size(), 31u);
    EXPECT_EQ(curve.bands[17].label, "1k");
    EXPECT_NEAR(curve.bands[17].responseDb, 12.0, 0.05);  // neighbours at 0 dB barely add
    EXPECT_EQ(curve.bands[17].sliderDb, 12.0);
    EXPECT_TRUE(curve.bands[29].effective);  // 16 kHz, exactly half the rate
    EXPECT_FALSE(curve.bands[30].effective);
    EXPECT_NE(responseText(curve).find("above half the sample rate: no effect"), std::string::npos);
}

TEST(ResponseCurveTest, SvgPlotIsSelfContainedAndEscaped) {
    std::vector<double> gains = {15.0, 0.0, 15.0};
    const auto eq = designed(4, 44100.0, gains);
    ResponseCurve curve = computeResponse(*eq, *eqBandTableFor(4), gains.data(), 50);
    curve.title = "GEQ-  3 Bands 8/3 Oct, preset \"Bass&Tremble\"";
    const std::string svg = responseSvg(curve);
    EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
    EXPECT_NE(svg.find("Bass&amp;Tremble"), std::string::npos);
    EXPECT_EQ(svg.find("Bass&Tremble"), std::string::npos);
    EXPECT_NE(svg.find("&lt;200"), std::string::npos);  // the low shelf's label in its marker
    EXPECT_NE(svg.find("&gt;8k"), std::string::npos);
    // One polyline with one point per sample of the curve.
    const size_t start = svg.find("points=\"");
    ASSERT_NE(start, std::string::npos);
    const std::string points = svg.substr(start + 8, svg.find('"', start + 8) - start - 8);
    EXPECT_EQ(std::count(points.begin(), points.end(), ','), 50);
    // The axis reaches past the +15 dB shelves in 6 dB steps: +24 at least.
    EXPECT_NE(svg.find(">+24</text>"), std::string::npos);
    EXPECT_NE(svg.find(">-24</text>"), std::string::npos);
    EXPECT_NE(svg.find(">20k</text>"), std::string::npos);
}

TEST(ResponseCurveTest, CsvHasOneLinePerPoint) {
    const std::vector<double> gains(15, 3.0);
    const auto eq = designed(6, 44100.0, gains);
    ResponseCurve curve = computeResponse(*eq, *eqBandTableFor(6), gains.data(), 20);
    curve.masterGainDb = -4.0;
    std::istringstream csv(responseCsv(curve));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frequency_hz,magnitude_db,with_master_gain_db");
    int rows = 0;
    while (std::getline(csv, line)) {
        double f, db, withGain;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &f, &db, &withGain), 3) << line;
        EXPECT_NEAR(withGain, db - 4.0, 1e-3);
        EXPECT_GT(db, 1.0);  // every band lifted by 3 dB
        ++rows;
    }
    EXPECT_EQ(rows, 20);
}

TEST(ResponseCommandTest, DrawsAPresetToSvgAndCsv) {
    const std::string svg = testing::TempDir() + "response_" + std::to_string(getpid()) + ".svg";
    const std::string csv = testing::TempDir() + "response_" + std::to_string(getpid()) + ".csv";
    const MorvRun r = runMorv("response --module 5 --preset \"Vocal Boost\" --svg " + svg + " --csv " + csv);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("GEQ-10 Bands 1    Oct, preset \"Vocal Boost\", 44100 Hz"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("master gain -2.00 dB"), std::string::npos) << r.out;
    // The 2 kHz band is lifted by 6.5 dB; its neighbours stay at 0 dB.
    EXPECT_NE(r.out.find("2k           2000       +6.50         +6.5"), std::string::npos) << r.out;
    EXPECT_NE(readFile(svg).find("<polyline"), std::string::npos);
    const std::string table = readFile(csv);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), kResponsePoints + 1);
    std::remove(svg.c_str());
    std::remove(csv.c_str());
}

TEST(ResponseCommandTest, SettingsAndRateChangeTheCurve) {
    const MorvRun r = runMorv("response --module \"GEQ-  3 Bands 8/3 Oct\" --set \"<200=18\" --rate 8000");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("8000 Hz"), std::string::npos);
    EXPECT_NE(r.out.find(">8k          8000       +0.00   above half the sample rate"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("between 20 Hz and 4000 Hz"), std::string::npos) << r.out;
}

TEST(ResponseCommandTest, RefusesWhatIsNotAnEqualiser) {
    const MorvRun vibrato = runMorv("response --module 16");
    EXPECT_EQ(vibrato.status, 2);
    EXPECT_NE(vibrato.err.find("\"Distortion-Vibrato\" is not a graphic equaliser"), std::string::npos) << vibrato.err;
    EXPECT_TRUE(vibrato.out.empty());

    const MorvRun rate = runMorv("response --module 8 --rate 0");
    EXPECT_EQ(rate.status, 2);
    EXPECT_NE(rate.err.find("--rate"), std::string::npos);

    const MorvRun preset = runMorv("response --module 8 --preset Nonexistent");
    EXPECT_EQ(preset.status, 2);
    EXPECT_NE(preset.err.find("unknown preset"), std::string::npos);
}

}  // namespace
