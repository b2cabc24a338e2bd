#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "framework/preset_selection.h"
#include "framework/preset_tables.h"
#include "host/plugin_state.h"
#include "../support/fake_effect.h"

namespace {

TEST(PresetTables, CountsAndCustomLastEqualToFirst) {
    const int expected[18] = {0, 0, 0, 0, 6, 18, 30, 14, 17, 3, 4, 4, 7, 4, 4, 4, 0, 0};
    for (int index = 0; index < 18; ++index) {
        const PresetTable table = presetTableFor(index);
        ASSERT_EQ(table.count, expected[index]) << index;
        if (table.count == 0) {
            EXPECT_EQ(table.records, nullptr);
            continue;
        }
        const PresetRecord& custom = table.records[table.count - 1];
        EXPECT_STREQ(custom.name, "Custom") << index;
        for (int v = 0; v < kMaxParameters; ++v) EXPECT_EQ(custom.values[v], table.records[0].values[v]) << index;
    }
    EXPECT_EQ(presetTableFor(18).count, 0);
}

TEST(PresetTables, SpotValuesAreAsPublished) {
    const PresetTable geq10 = presetTableFor(5);
    EXPECT_STREQ(geq10.records[1].name, "1965");
    EXPECT_EQ(geq10.records[1].values[0], -5.0);
    EXPECT_EQ(geq10.records[1].values[2], -17.2);
    EXPECT_EQ(geq10.records[1].values[10], -5.2);
    EXPECT_EQ(geq10.records[1].values[11], 0.0) << "values beyond the band count are 0";

    const PresetTable geq15 = presetTableFor(6);
    EXPECT_STREQ(geq15.records[14].name, "Loudness");
    EXPECT_EQ(geq15.records[14].values[1], 6.768);
    EXPECT_EQ(geq15.records[14].values[15], 4.032);

    const PresetTable geq31 = presetTableFor(8);
    EXPECT_STREQ(geq31.records[11].name, "Notch2/3Oct");
    EXPECT_EQ(geq31.records[11].values[31], -18.0);
    EXPECT_STREQ(geq31.records[15].name, "ShimmerVox");
    EXPECT_EQ(geq31.records[15].values[23], 1.1);

    EXPECT_STREQ(presetTableFor(4).records[0].name, "FLAT");
    EXPECT_STREQ(presetTableFor(9).records[1].name, "WIDE Cut");
    EXPECT_EQ(presetTableFor(12).records[3].values[2], 230.625);
    EXPECT_STREQ(presetTableFor(10).records[2].name, "Vocal Boost");
    EXPECT_EQ(presetTableFor(10).records[2].values[2], 1.5);
    EXPECT_STREQ(presetTableFor(7).records[1].name, "Classic-V");
    EXPECT_EQ(presetTableFor(7).records[1].values[20], 4.02);
}

class PresetApplyTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetPluginState();
        // The pitch scaler's table with its one parameter, "Pitch".
        install(15, {makeDescriptor("Pitch", 1.0, -1.0, 0.0)});
    }
    void TearDown() override { resetPluginState(); }

    FakeEffect* install(int tableIndex, std::vector<ParamDescriptor> parameters) {
        auto module = std::make_unique<FakeEffect>(tableIndex, parameters);
        FakeEffect* raw = module.get();
        ParameterCount = raw->describeParameters(ParameterDescriptors);
        CurrentModule = std::move(module);
        fake = raw;
        return raw;
    }
    FakeEffect* fake = nullptr;
};

TEST_F(PresetApplyTest, NamedPresetSetsGainValuesAndSliders) {
    PresetSliderPositions sliders{};
    ASSERT_TRUE(applyPreset(2, &sliders));  // "BassTone"
    EXPECT_EQ(PresetIndex, 2);
    EXPECT_DOUBLE_EQ(MasterGain, std::pow(10.0, 3.0 / 20.0));
    EXPECT_NEAR(MasterGain, 1.4125, 1e-4);
    EXPECT_EQ(sliders.gain, 2850);
    EXPECT_EQ(ParameterValues[0], -0.4);
    EXPECT_EQ(sliders.parameters[0], 4200);
    ASSERT_EQ(fake->setCalls, 1);
    EXPECT_EQ(fake->received[0], -0.4);
}

TEST_F(PresetApplyTest, CustomRecallsWholeDecibelGainAndSliderWords) {
    PluginSettings[0] = 2899;  // 2.02 dB on the slider, 3 dB in whole decibels
    PluginSettings[1] = 1500;
    PresetSliderPositions sliders{};
    ASSERT_TRUE(applyPreset(3, &sliders));
    EXPECT_EQ(PresetIndex, 3);
    EXPECT_DOUBLE_EQ(MasterGain, std::pow(10.0, 3.0 / 20.0));
    EXPECT_EQ(sliders.gain, 2899);
    EXPECT_DOUBLE_EQ(ParameterValues[0], 0.5);
    EXPECT_EQ(fake->received[0], 0.5);
}

TEST_F(PresetApplyTest, NamedPresetThenCustomBringsBackTheSliders) {
    PluginSettings[0] = 3100;
    PluginSettings[1] = 600;
    applyPreset(1, nullptr);  // "Child" leaves the words alone
    EXPECT_EQ(ParameterValues[0], 0.4);
    applyPreset(3, nullptr);
    EXPECT_DOUBLE_EQ(ParameterValues[0], 0.8);
    EXPECT_DOUBLE_EQ(MasterGain, std::pow(10.0, -2.0 / 20.0));
}

TEST_F(PresetApplyTest, ModuleWithoutPresetsOrBadPositionChangesNothing) {
    EXPECT_FALSE(applyPreset(4, nullptr));
    EXPECT_FALSE(applyPreset(-1, nullptr));
    install(0, {});
    MasterGain = 2.0;
    EXPECT_FALSE(applyPreset(0, nullptr));
    EXPECT_EQ(MasterGain, 2.0);
    EXPECT_EQ(fake->setCalls, 0);
    EXPECT_EQ(PresetIndex, 0);
}

TEST_F(PresetApplyTest, FindsPresetsByExactName) {
    EXPECT_EQ(findPreset("BassTone"), 2);
    EXPECT_EQ(findPreset("Custom"), 3);
    EXPECT_EQ(findPreset("basstone"), -1);
}

}  // namespace
