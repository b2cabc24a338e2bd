#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/plugin_state.h"
#include "host/settings_block.h"
#include "../support/fake_effect.h"

namespace {

std::vector<unsigned char> encodeWords(const std::vector<int32_t>& words) {
    std::vector<unsigned char> bytes;
    for (int32_t w : words) {
        const uint32_t u = static_cast<uint32_t>(w);
        for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<unsigned char>(u >> (8 * b)));
    }
    return bytes;
}

class SettingsBlockTest : public ::testing::Test {
protected:
    // A load without a value also forgets stored words not yet applied.
    void SetUp() override {
        resetPluginState();
        loadSettings(nullptr, 0, false);
    }
    void TearDown() override {
        resetPluginState();
        loadSettings(nullptr, 0, false);
    }

    FakeEffect* install(int tableIndex, std::vector<ParamDescriptor> parameters) {
        auto module = std::make_unique<FakeEffect>(tableIndex, parameters);
        FakeEffect* raw = module.get();
        ParameterCount = raw->describeParameters(ParameterDescriptors);
        for (int k = 0; k < ParameterCount; ++k) ParameterValues[k] = ParameterDescriptors[k].defaultValue;
        CurrentModule = std::move(module);
        return raw;
    }
};

std::vector<int32_t> fullBlock(int module, int preset) {
    std::vector<int32_t> words(40, 0);
    words[0] = 2500;
    for (int k = 1; k < 38; ++k) words[k] = 100 * k;
    words[38] = preset;
    words[39] = module;
    return words;
}

TEST_F(SettingsBlockTest, MissingValueGivesDefaults) {
    loadSettings(nullptr, 0, false);
    EXPECT_EQ(ModuleIndex, 0);
    EXPECT_EQ(PresetIndex, 0);
    EXPECT_EQ(PluginSettings[0], 3000);
    EXPECT_EQ(PluginSettings[39], 0);
    EXPECT_EQ(RestoreState, kRestoreLoaded);
}

TEST_F(SettingsBlockTest, LoadsModulePresetAndWords) {
    const std::vector<unsigned char> bytes = encodeWords(fullBlock(8, 3));
    loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    EXPECT_EQ(ModuleIndex, 8);
    EXPECT_EQ(PresetIndex, 3);
    EXPECT_EQ(PluginSettings[0], 2500);
    EXPECT_EQ(PluginSettings[37], 3700);
}

TEST_F(SettingsBlockTest, ModuleOutsideTheSelectableRangeLoadsModuleZero) {
    for (int module : {18, -1, 1000}) {
        resetPluginState();
        const std::vector<unsigned char> bytes = encodeWords(fullBlock(module, 5));
        loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
        EXPECT_EQ(ModuleIndex, 0) << module;
        EXPECT_EQ(PresetIndex, 0) << module;
        EXPECT_EQ(PluginSettings[0], 2500) << "the other words stay as read";
        // The gain word still restores on the first build.
        install(0, {});
        restoreSettings();
        EXPECT_DOUBLE_EQ(MasterGain, std::pow(10.0, 10.0 / 20.0));
    }
}

TEST_F(SettingsBlockTest, ShortValueFillsOnlyItsFirstWords) {
    std::vector<unsigned char> bytes = encodeWords({2000, 11, 22});
    bytes.push_back(0x05);  // half a word: only its low byte changes
    PluginSettings[3] = 0x7F000000;
    loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    EXPECT_EQ(PluginSettings[0], 2000);
    EXPECT_EQ(PluginSettings[2], 22);
    EXPECT_EQ(PluginSettings[3], 0x7F000005);
    EXPECT_EQ(PluginSettings[39], 0);
    EXPECT_EQ(ModuleIndex, 0);
}

TEST_F(SettingsBlockTest, OverlongValueIsCutAtTheBlock) {
    std::vector<int32_t> words = fullBlock(4, 1);
    words.push_back(77);
    const std::vector<unsigned char> bytes = encodeWords(words);
    loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    EXPECT_EQ(ModuleIndex, 4);
}

TEST_F(SettingsBlockTest, SaveWritesGainModulePresetAndParameterWords) {
    install(0, {makeDescriptor("A", 18, -18, 0), makeDescriptor("B", 1, -1.5, 0)});
    for (int k = 3; k < 38; ++k) PluginSettings[k] = 4242;
    MasterGain = 2.0;
    ModuleIndex = 5;
    PresetIndex = 3;
    ParameterValues[0] = 9.0;
    ParameterValues[1] = 0.0;
    unsigned char bytes[kSettingsBytes];
    saveSettings(bytes);
    auto word = [&](int w) {
        return static_cast<int32_t>(bytes[4 * w] | bytes[4 * w + 1] << 8 | bytes[4 * w + 2] << 16 |
                                    static_cast<uint32_t>(bytes[4 * w + 3]) << 24);
    };
    EXPECT_EQ(word(0), 2698);
    EXPECT_EQ(word(1), 1500);
    EXPECT_EQ(word(2), 2400);
    EXPECT_EQ(word(3), 4242) << "words beyond the parameter count keep their values";
    EXPECT_EQ(word(38), 3);
    EXPECT_EQ(word(39), 5);

    // What was saved loads back to the same state.
    resetPluginState();
    loadSettings(bytes, kSettingsBytes, true);
    EXPECT_EQ(ModuleIndex, 5);
    EXPECT_EQ(PresetIndex, 3);
    EXPECT_EQ(PluginSettings[1], 1500);
}

TEST_F(SettingsBlockTest, RestoreWithPresetChosenTurnsWordsIntoValues) {
    FakeEffect* fake = install(15, {makeDescriptor("Pitch", 1, -1, 0)});
    PluginSettings[0] = 2698;
    PluginSettings[1] = 1500;
    PresetIndex = 2;
    restoreSettings();
    EXPECT_NEAR(MasterGain, 2.0045, 1e-4);
    EXPECT_DOUBLE_EQ(ParameterValues[0], 0.5);
    ASSERT_EQ(fake->setCalls, 1);
    EXPECT_EQ(RestoreState, kRestoreLoaded);
}

TEST_F(SettingsBlockTest, RestoreWithFirstPresetTakesWordsFromTheLastRecord) {
    // The stereo vocal remover's "Custom" record has +6 dB, its live gain stays 0 dB.
    install(10, {makeDescriptor("Pann", 1, -1, 0), makeDescriptor("Vocal", 2, -2, -1),
                 makeDescriptor("LowF", 1000, 20, 150), makeDescriptor("Hi F", 20000, 1000, 16000)});
    PresetIndex = 0;
    restoreSettings();
    EXPECT_EQ(PluginSettings[0], 2700);
    EXPECT_EQ(PluginSettings[2], 4500);
    EXPECT_EQ(MasterGain, 1.0);
    EXPECT_EQ(ParameterValues[1], -1.0);

    PresetIndex = 2;
    RestoreState = kRestoreModuleChanged;
    PluginSettings[0] = 10;
    restoreSettings();
    EXPECT_EQ(PresetIndex, 0);
    EXPECT_EQ(PluginSettings[0], 2700);
    EXPECT_EQ(MasterGain, 1.0);
    EXPECT_EQ(RestoreState, kRestoreLoaded);
}

TEST_F(SettingsBlockTest, RestoreAfterReopeningChangesNothing) {
    FakeEffect* fake = install(15, {makeDescriptor("Pitch", 1, -1, 0)});
    PluginSettings[0] = 100;
    PresetIndex = 1;
    RestoreState = kRestoreReopened;
    restoreSettings();
    EXPECT_EQ(MasterGain, 1.0);
    EXPECT_EQ(PluginSettings[0], 100);
    EXPECT_EQ(fake->setCalls, 0);
    EXPECT_EQ(RestoreState, kRestoreLoaded);
}

TEST_F(SettingsBlockTest, RestoredWordsAreSavedBackUnchanged) {
    // The vibrato's sliders: on the delay slider position 1000 gives a value
    // whose position by the plain formula is 999.
    const std::vector<unsigned char> bytes = encodeWords({2698, 1000, 1000});
    loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    install(0, {makeDescriptor("VibF", 20, 0.5, 8), makeDescriptor("Delay", -1, -5, -3)});
    EXPECT_EQ(valueToSlider(ParameterDescriptors[1], sliderToValue(ParameterDescriptors[1], 1000)), 999);
    restoreSettings();
    EXPECT_EQ(gainSliderPosition(), 2698);
    EXPECT_EQ(parameterSliderPosition(1), 1000);
    unsigned char saved[kSettingsBytes];
    for (int run = 0; run < 3; ++run) saveSettings(saved);
    EXPECT_EQ(saved[0] | saved[1] << 8, 2698);
    EXPECT_EQ(saved[4] | saved[5] << 8, 1000);
    EXPECT_EQ(saved[8] | saved[9] << 8, 1000);
}

TEST_F(SettingsBlockTest, WordsNeverAppliedAreSavedAsStored) {
    // Loaded and unloaded without activation: the state in force is not the
    // user's and must not overwrite the stored positions.
    const std::vector<unsigned char> bytes = encodeWords(fullBlock(16, 0));
    loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    unsigned char saved[kSettingsBytes];
    saveSettings(saved);
    EXPECT_EQ(std::vector<unsigned char>(saved, saved + kSettingsBytes), bytes);
}

}  // namespace
