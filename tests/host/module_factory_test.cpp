#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>
#include <string>

#include "host/module_factory.h"
#include "registry/module_registry.h"
#include "host/plugin_state.h"

namespace {

class ModuleFactoryTest : public ::testing::Test {
protected:
    void SetUp() override { resetPluginState(); }
    void TearDown() override { resetPluginState(); }
};

TEST(ModuleRegistry, AreExactWithMarkersAndInnerSpaces) {
    EXPECT_EQ(std::string(moduleRow(0).name), "\xA1\xF3Level Tuning");
    EXPECT_EQ(std::string(moduleRow(4).name), "\xA1\xF3GEQ-  3 Bands 8/3 Oct");
    EXPECT_EQ(std::string(moduleRow(5).name), "\xA1\xF3GEQ-10 Bands 1    Oct");
    EXPECT_EQ(std::string(moduleRow(9).name), "\xA1\xF4Spacial-DeVocal Mono");
    EXPECT_EQ(std::string(moduleRow(13).name), "\xA1\xF3T/P-Resampler");
    EXPECT_EQ(std::string(moduleRow(18).name), "\xA1\xF4" "Dist-ASImpact");
    // White diamonds: level, equalisers, time and pitch; black: the rest.
    const bool black[kModuleNameCount] = {false, true,  true,  true,  false, false, false, false, false, true,
                                          true,  true,  true,  false, false, false, true,  true,  true};
    for (int i = 0; i < kModuleNameCount; ++i) {
        EXPECT_EQ(static_cast<unsigned char>(moduleRow(i).name[0]), 0xA1) << i;
        EXPECT_EQ(moduleNameBlackMarker(i), black[i]) << i;
    }
}

TEST_F(ModuleFactoryTest, IndicesOutsideTheEffectsGiveThePassThroughModule) {
    for (int index : {0, 18, -1, 99}) {
        ModuleIndex = index;
        ParameterCount = 7;
        ModuleFactory(44100, 2, false);
        ASSERT_TRUE(CurrentModule) << index;
        EXPECT_EQ(ParameterCount, 0) << index;
        EXPECT_EQ(CurrentModule->presetCount(), 0) << index;
        double block[4] = {1, 2, 3, 4};
        EXPECT_EQ(CurrentModule->process(block, block, 4, 4, 3), 4);
        EXPECT_EQ(block[3], 4.0);
    }
}

TEST_F(ModuleFactoryTest, WithoutKeepGainResetsAndValuesBeyondTheCountStay) {
    MasterGain = 3.0;
    for (int k = 0; k < kMaxParameters; ++k) ParameterValues[k] = 100.0 + k;
    ModuleIndex = 0;
    ModuleFactory(48000, 2, false);
    EXPECT_EQ(MasterGain, 1.0);
    for (int k = 0; k < kMaxParameters; ++k) EXPECT_EQ(ParameterValues[k], 100.0 + k);
}

TEST_F(ModuleFactoryTest, WithKeepGainAndValuesStay) {
    MasterGain = 3.0;
    ParameterValues[0] = 5.0;
    ModuleIndex = 0;
    ModuleFactory(48000, 1, true);
    EXPECT_EQ(MasterGain, 3.0);
    EXPECT_EQ(ParameterValues[0], 5.0);
}

TEST_F(ModuleFactoryTest, RebuildWithoutKeepResetsOnlyTheNewModulesValues) {
    ModuleIndex = 8;  // 31 bands
    ModuleFactory(44100, 2, false);
    ASSERT_EQ(ParameterCount, 31);
    for (int k = 0; k < 31; ++k) ParameterValues[k] = 5.0;
    MasterGain = 2.0;
    ModuleIndex = 4;  // 3 bands
    ModuleFactory(44100, 2, false);
    ASSERT_EQ(ParameterCount, 3);
    EXPECT_EQ(MasterGain, 1.0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(ParameterValues[k], ParameterDescriptors[k].defaultValue);
    for (int k = 3; k < 31; ++k) EXPECT_EQ(ParameterValues[k], 5.0) << k;
}

TEST_F(ModuleFactoryTest, RebuildWithKeepHandsTheValuesToTheNewModule) {
    ModuleIndex = 5;
    ModuleFactory(44100, 2, false);
    for (int k = 0; k < ParameterCount; ++k) ParameterValues[k] = (k % 2) ? 9.0 : -9.0;
    MasterGain = 0.5;
    ModuleFactory(48000, 2, true);
    EXPECT_EQ(MasterGain, 0.5);
    EXPECT_EQ(ParameterValues[1], 9.0);

    // The rebuilt module sounds like one given those values directly.
    std::unique_ptr<EffectModule> reference = createModule(5, 48000, 2);
    reference->setParameters(ParameterValues);
    std::vector<double> a(2048), b(2048);
    for (size_t i = 0; i < a.size(); ++i) a[i] = b[i] = 1000.0 * std::sin(0.05 * static_cast<double>(i));
    CurrentModule->process(a.data(), a.data(), 2048, 2048, 3);
    reference->process(b.data(), b.data(), 2048, 2048, 3);
    EXPECT_EQ(a, b);
    std::vector<double> flat(2048);
    for (size_t i = 0; i < flat.size(); ++i) flat[i] = 1000.0 * std::sin(0.05 * static_cast<double>(i));
    EXPECT_NE(a, flat) << "the values must change the sound";
}

TEST_F(ModuleFactoryTest, EveryModuleDescribesParametersWithinTheirRanges) {
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        for (int channels : {1, 2}) {
            ModuleIndex = index;
            ModuleFactory(44100, channels, false);
            ASSERT_TRUE(CurrentModule) << index;
            ASSERT_GE(ParameterCount, 0);
            ASSERT_LE(ParameterCount, 37) << "the settings block holds 37 parameters";
            for (int k = 0; k < ParameterCount; ++k) {
                const ParamDescriptor& d = ParameterDescriptors[k];
                EXPECT_NE(d.max, d.min) << index << " " << d.name;
                EXPECT_LT(std::strlen(d.name), sizeof d.name);
                EXPECT_GE(d.defaultValue, std::min(d.min, d.max)) << index << " " << d.name;
                EXPECT_LE(d.defaultValue, std::max(d.min, d.max)) << index << " " << d.name;
                EXPECT_EQ(ParameterValues[k], d.defaultValue);
            }
        }
    }
}

// A module built without keep still receives the values in force (the
// defaults): DeNoise then learns for its default "NoiseLen" of 0.2 s, not for
// the 0.25 s its constructor starts with, on every path that builds it.
TEST_F(ModuleFactoryTest, AModuleIsBuiltWithTheValuesInForce) {
    ModuleIndex = kModuleDeNoise;
    ModuleFactory(44100, 1, false);
    std::vector<double> block(441);
    std::vector<double> out;
    for (int b = 0; b < 30; ++b) {
        for (int i = 0; i < 441; ++i) block[i] = 8000.0 * std::sin(0.05 * (b * 441 + i));
        const int got = CurrentModule->process(block.data(), block.data(), 441, 441, 1);
        out.insert(out.end(), block.begin(), block.begin() + got);
    }
    ASSERT_GE(out.size(), 11025u);
    double energy = 0;
    for (size_t i = 9702; i < 10584; ++i) energy += out[i] * out[i];  // 0.22 s to 0.24 s
    EXPECT_GT(energy, 0.0) << "still learning after 0.2 s: the module kept its constructor's value";
}

}  // namespace
