#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/slider_scale.h"
#include "host/engine.h"
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
    // A fake module with its values at their defaults; the module index stays.
    FakeEffect* install(int tableIndex, std::vector<ParamDescriptor> parameters) {
        auto module = std::make_unique<FakeEffect>(tableIndex, parameters);
        FakeEffect* raw = module.get();
        double defaults[kMaxParameters] = {};
        for (size_t k = 0; k < parameters.size(); ++k) defaults[k] = parameters[k].defaultValue;
        engine.setParameterValues(defaults, static_cast<int>(parameters.size()));
        engine.adoptModule(std::move(module));
        raw->setCalls = 0;
        return raw;
    }
    void load(const std::vector<unsigned char>& bytes) {
        engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    }

    Engine engine;
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
    engine.loadSettings(nullptr, 0, false);
    EXPECT_EQ(engine.moduleIndex(), 0);
    EXPECT_EQ(engine.presetIndex(), 0);
    EXPECT_EQ(engine.settingsWord(0), 3000);
    EXPECT_EQ(engine.settingsWord(39), 0);
    EXPECT_EQ(engine.restoreState(), kRestoreLoaded);
}

TEST_F(SettingsBlockTest, LoadsModulePresetAndWords) {
    const std::vector<unsigned char> bytes = encodeWords(fullBlock(8, 3));
    engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    EXPECT_EQ(engine.moduleIndex(), 8);
    EXPECT_EQ(engine.presetIndex(), 3);
    EXPECT_EQ(engine.settingsWord(0), 2500);
    EXPECT_EQ(engine.settingsWord(37), 3700);
}

TEST_F(SettingsBlockTest, ModuleOutsideTheSelectableRangeLoadsModuleZero) {
    for (int module : {18, -1, 1000}) {
        engine.reset();
        const std::vector<unsigned char> bytes = encodeWords(fullBlock(module, 5));
        engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
        EXPECT_EQ(engine.moduleIndex(), 0) << module;
        EXPECT_EQ(engine.presetIndex(), 0) << module;
        EXPECT_EQ(engine.settingsWord(0), 2500) << "the other words stay as read";
        // The gain word still restores on the first build.
        install(0, {});
        engine.restoreSettings();
        EXPECT_DOUBLE_EQ(engine.masterGain(), std::pow(10.0, 10.0 / 20.0));
    }
}

// A gain word far past the slider (a damaged or foreign value) would give
// every sample full scale: it is held to the slider's ends.
TEST_F(SettingsBlockTest, AGainWordPastTheSliderIsHeldToItsEnds) {
    for (const int32_t word : {INT32_MIN, -3000, 6001, INT32_MAX}) {
        engine.reset();
        std::vector<int32_t> words = fullBlock(0, 0);
        words[0] = word;
        load(encodeWords(words));
        install(0, {});
        engine.restoreSettings();
        const int end = word < 0 ? 0 : kSliderPositions;
        EXPECT_EQ(engine.settingsWord(0), end) << word;
        EXPECT_DOUBLE_EQ(engine.masterGain(), gainSliderToGain(end)) << word;
    }
}

TEST_F(SettingsBlockTest, ShortValueFillsOnlyItsFirstWords) {
    std::vector<unsigned char> bytes = encodeWords({2000, 11, 22});
    bytes.push_back(0x05);  // half a word: only its low byte changes
    engine.setSettingsWord(3, 0x7F000000);
    engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    EXPECT_EQ(engine.settingsWord(0), 2000);
    EXPECT_EQ(engine.settingsWord(2), 22);
    EXPECT_EQ(engine.settingsWord(3), 0x7F000005);
    EXPECT_EQ(engine.settingsWord(39), 0);
    EXPECT_EQ(engine.moduleIndex(), 0);
}

TEST_F(SettingsBlockTest, OverlongValueIsCutAtTheBlock) {
    std::vector<int32_t> words = fullBlock(4, 1);
    words.push_back(77);
    const std::vector<unsigned char> bytes = encodeWords(words);
    engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    EXPECT_EQ(engine.moduleIndex(), 4);
}

TEST_F(SettingsBlockTest, SaveWritesGainModulePresetAndParameterWords) {
    engine.buildModule(5, false);
    install(0, {makeDescriptor("A", 18, -18, 0), makeDescriptor("B", 1, -1.5, 0)});
    for (int k = 3; k < 38; ++k) engine.setSettingsWord(k, 4242);
    engine.setMasterGain(2.0);
    engine.setPresetIndex(3);
    const double values[2] = {9.0, 0.0};
    engine.setParameterValues(values, 2);
    unsigned char bytes[kSettingsBytes];
    engine.saveSettings(bytes);
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
    engine.reset();
    engine.loadSettings(bytes, kSettingsBytes, true);
    EXPECT_EQ(engine.moduleIndex(), 5);
    EXPECT_EQ(engine.presetIndex(), 3);
    EXPECT_EQ(engine.settingsWord(1), 1500);
}

TEST_F(SettingsBlockTest, RestoreWithPresetChosenTurnsWordsIntoValues) {
    FakeEffect* fake = install(15, {makeDescriptor("Pitch", 1, -1, 0)});
    engine.setSettingsWord(0, 2698);
    engine.setSettingsWord(1, 1500);
    engine.setPresetIndex(2);
    engine.restoreSettings();
    EXPECT_NEAR(engine.masterGain(), 2.0045, 1e-4);
    EXPECT_DOUBLE_EQ(engine.snapshot().values[0], 0.5);
    ASSERT_EQ(fake->setCalls, 1);
    EXPECT_EQ(engine.restoreState(), kRestoreLoaded);
}

TEST_F(SettingsBlockTest, RestoreWithFirstPresetTakesWordsFromTheLastRecord) {
    // The stereo vocal remover's "Custom" record has +6 dB, its live gain stays 0 dB.
    install(10, {makeDescriptor("Pann", 1, -1, 0), makeDescriptor("Vocal", 2, -2, -1),
                 makeDescriptor("LowF", 1000, 20, 150), makeDescriptor("Hi F", 20000, 1000, 16000)});
    engine.setPresetIndex(0);
    engine.restoreSettings();
    EXPECT_EQ(engine.settingsWord(0), 2700);
    EXPECT_EQ(engine.settingsWord(2), 4500);
    EXPECT_EQ(engine.masterGain(), 1.0);
    EXPECT_EQ(engine.snapshot().values[1], -1.0);

    engine.setPresetIndex(2);
    engine.setRestoreState(kRestoreModuleChanged);
    engine.setSettingsWord(0, 10);
    engine.restoreSettings();
    EXPECT_EQ(engine.presetIndex(), 0);
    EXPECT_EQ(engine.settingsWord(0), 2700);
    EXPECT_EQ(engine.masterGain(), 1.0);
    EXPECT_EQ(engine.restoreState(), kRestoreLoaded);
}

TEST_F(SettingsBlockTest, RestoreAfterReopeningChangesNothing) {
    FakeEffect* fake = install(15, {makeDescriptor("Pitch", 1, -1, 0)});
    engine.setSettingsWord(0, 100);
    engine.setPresetIndex(1);
    engine.setRestoreState(kRestoreReopened);
    engine.restoreSettings();
    EXPECT_EQ(engine.masterGain(), 1.0);
    EXPECT_EQ(engine.settingsWord(0), 100);
    EXPECT_EQ(fake->setCalls, 0);
    EXPECT_EQ(engine.restoreState(), kRestoreLoaded);
}

TEST_F(SettingsBlockTest, RestoredWordsAreSavedBackUnchanged) {
    // The vibrato's sliders: on the delay slider position 1000 gives a value
    // whose position by the plain formula is 999.
    const std::vector<unsigned char> bytes = encodeWords({2698, 1000, 1000});
    engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    install(0, {makeDescriptor("VibF", 20, 0.5, 8), makeDescriptor("Delay", -1, -5, -3)});
    const ParamDescriptor delay = engine.snapshot().descriptors[1];
    EXPECT_EQ(valueToSlider(delay, sliderToValue(delay, 1000)), 999);
    engine.restoreSettings();
    EXPECT_EQ(engine.gainSliderPosition(), 2698);
    EXPECT_EQ(engine.parameterSliderPosition(1), 1000);
    unsigned char saved[kSettingsBytes];
    for (int run = 0; run < 3; ++run) engine.saveSettings(saved);
    EXPECT_EQ(saved[0] | saved[1] << 8, 2698);
    EXPECT_EQ(saved[4] | saved[5] << 8, 1000);
    EXPECT_EQ(saved[8] | saved[9] << 8, 1000);
}

TEST_F(SettingsBlockTest, WordsNeverAppliedAreSavedAsStored) {
    // Loaded and unloaded without activation: the state in force is not the
    // user's and must not overwrite the stored positions.
    const std::vector<unsigned char> bytes = encodeWords(fullBlock(16, 0));
    engine.loadSettings(bytes.data(), static_cast<int>(bytes.size()), true);
    unsigned char saved[kSettingsBytes];
    engine.saveSettings(saved);
    EXPECT_EQ(std::vector<unsigned char>(saved, saved + kSettingsBytes), bytes);
}

}  // namespace
