#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "host/plugin_state.h"
#include "host/preset_selection.h"
#include "../support/fake_effect.h"

namespace {

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
