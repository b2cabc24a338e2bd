#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "host/engine.h"
#include "../support/fake_effect.h"

namespace {

class PresetApplyTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The pitch scaler's table with its one parameter, "Pitch".
        install(15, {makeDescriptor("Pitch", 1.0, -1.0, 0.0)});
    }

    FakeEffect* install(int tableIndex, std::vector<ParamDescriptor> parameters) {
        auto module = std::make_unique<FakeEffect>(tableIndex, parameters);
        FakeEffect* raw = module.get();
        engine.adoptModule(std::move(module));
        raw->setCalls = 0;
        fake = raw;
        return raw;
    }
    double value0() const { return engine.snapshot().values[0]; }

    Engine engine;
    FakeEffect* fake = nullptr;
};

TEST_F(PresetApplyTest, NamedPresetSetsGainValuesAndSliders) {
    PresetSliderPositions sliders{};
    ASSERT_TRUE(engine.applyPreset(2, &sliders));  // "BassTone"
    EXPECT_EQ(engine.presetIndex(), 2);
    EXPECT_DOUBLE_EQ(engine.masterGain(), std::pow(10.0, 3.0 / 20.0));
    EXPECT_NEAR(engine.masterGain(), 1.4125, 1e-4);
    EXPECT_EQ(sliders.gain, 2850);
    EXPECT_EQ(value0(), -0.4);
    EXPECT_EQ(sliders.parameters[0], 4200);
    ASSERT_EQ(fake->setCalls, 1);
    EXPECT_EQ(fake->received[0], -0.4);
}

TEST_F(PresetApplyTest, CustomRecallsWholeDecibelGainAndSliderWords) {
    engine.setSettingsWord(0, 2899);  // 2.02 dB on the slider, 3 dB in whole decibels
    engine.setSettingsWord(1, 1500);
    PresetSliderPositions sliders{};
    ASSERT_TRUE(engine.applyPreset(3, &sliders));
    EXPECT_EQ(engine.presetIndex(), 3);
    EXPECT_DOUBLE_EQ(engine.masterGain(), std::pow(10.0, 3.0 / 20.0));
    EXPECT_EQ(sliders.gain, 2899);
    EXPECT_DOUBLE_EQ(value0(), 0.5);
    EXPECT_EQ(fake->received[0], 0.5);
}

TEST_F(PresetApplyTest, NamedPresetThenCustomBringsBackTheSliders) {
    engine.setSettingsWord(0, 3100);
    engine.setSettingsWord(1, 600);
    engine.applyPreset(1, nullptr);  // "Child" leaves the words alone
    EXPECT_EQ(value0(), 0.4);
    engine.applyPreset(3, nullptr);
    EXPECT_DOUBLE_EQ(value0(), 0.8);
    EXPECT_DOUBLE_EQ(engine.masterGain(), std::pow(10.0, -2.0 / 20.0));
}

TEST_F(PresetApplyTest, ModuleWithoutPresetsOrBadPositionChangesNothing) {
    EXPECT_FALSE(engine.applyPreset(4, nullptr));
    EXPECT_FALSE(engine.applyPreset(-1, nullptr));
    install(0, {});
    engine.setMasterGain(2.0);
    EXPECT_FALSE(engine.applyPreset(0, nullptr));
    EXPECT_EQ(engine.masterGain(), 2.0);
    EXPECT_EQ(fake->setCalls, 0);
    EXPECT_EQ(engine.presetIndex(), 0);
}

TEST_F(PresetApplyTest, FindsPresetsByExactName) {
    EXPECT_EQ(engine.findPreset("BassTone"), 2);
    EXPECT_EQ(engine.findPreset("Custom"), 3);
    EXPECT_EQ(engine.findPreset("basstone"), -1);
}

}  // namespace
