// A demo that demonstrates: every module's file lets
// the module's work be heard, with a named preset where the module has any,
// and the table names the setting.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tests/support/morv_runner.h"

namespace {

class Demo : public MorvFileTest {
protected:
    void SetUp() override {
        MorvFileTest::SetUp();
        run = runMorv("demo " + q("demo"));
    }
    // The table row of a module: the text after its name, up to the end of the line.
    std::string row(int index) const {
        const std::string name = moduleNameText(index);
        const size_t at = run.out.find("\n" + name + " ");
        if (at == std::string::npos) return "";
        return run.out.substr(at + 1 + name.size(), run.out.find('\n', at + 1) - at - 1 - name.size());
    }
    // The setting the row names: its first column, up to two spaces.
    static std::string settingOf(const std::string& row) {
        const size_t start = row.find_first_not_of(' ');
        return start == std::string::npos ? "" : row.substr(start, row.find("  ", start) - start);
    }
    // The file the row names, without its folder.
    static std::string fileOf(const std::string& row) {
        const size_t end = row.find(".wav");
        if (end == std::string::npos) return "";
        const size_t start = row.find_last_of(" /", end) + 1;
        return row.substr(start, end + 4 - start);
    }
    MorvRun run;
};

TEST_F(Demo, NoModulesFileIsItsInput) {
    ASSERT_EQ(run.status, 0) << run.err;
    SF_INFO inputInfo;
    const std::vector<double> input = read("demo/demo-input.wav", &inputInfo);
    ASSERT_FALSE(input.empty());
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        const std::string file = fileOf(row(index));
        ASSERT_FALSE(file.empty()) << moduleNameText(index) << " has its row";
        SF_INFO info;
        const std::vector<double> output = read("demo/" + file, &info);
        ASSERT_FALSE(output.empty()) << file;
        if (output.size() != input.size()) continue;  // a rate or tempo change
        double largest = 0.0;
        for (size_t i = 0; i < input.size(); ++i) largest = std::max(largest, std::fabs(output[i] - input[i]));
        // 0.01 is -40 dBFS; the signal peaks at about -3 dBFS.
        EXPECT_GT(largest, 0.01) << moduleNameText(index) << ": " << row(index);
    }
}

TEST_F(Demo, TheTableNamesANamedPresetWhereTheModuleHasAnyElseTheSliderValues) {
    ASSERT_EQ(run.status, 0) << run.err;
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        const std::string setting = settingOf(row(index));
        ASSERT_FALSE(setting.empty()) << moduleNameText(index);
        const PresetTable presets = presetTableFor(index);
        if (presets.count > 0) {
            // One of its presets, not "Custom" nor one that leaves the sound as it is.
            bool named = false;
            for (int p = 0; p + 1 < presets.count; ++p) named |= setting == presets.records[p].name;
            EXPECT_TRUE(named) << moduleNameText(index) << ": " << setting;
            EXPECT_NE(setting, "FLAT");
            EXPECT_NE(setting, "Original");
            continue;
        }
        ParamDescriptor parameters[kMaxParameters];
        const int count = describeModule(index, 44100, parameters);
        if (count == 0) {
            EXPECT_EQ(setting, "gain -6 dB");
        }
        for (int k = 0; k < count; ++k)
            EXPECT_NE(setting.find(std::string(parameters[k].name) + " "), std::string::npos)
                << moduleNameText(index) << " names " << parameters[k].name << ": " << setting;
    }
}

}  // namespace
