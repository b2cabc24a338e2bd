#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>
#include <string>

#include "host/engine.h"
#include "registry/module_registry.h"

namespace {

class ModuleFactoryTest : public ::testing::Test {
protected:
    // Builds index for (rate, channels) as the control window and the audio
    // thread do.
    void build(int index, int rate, int channels, bool keep) {
        engine.setStreamFormat(rate, channels);
        engine.buildModule(index, keep);
    }
    EngineSnapshot shown() const { return engine.snapshot(); }
    template <typename F>
    auto withModule(F&& f) { return engine.withModule(f); }

    Engine engine;
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
        build(8, 44100, 2, false);
        build(index, 44100, 2, false);
        ASSERT_TRUE(shown().hasModule) << index;
        EXPECT_EQ(shown().parameterCount, 0) << index;
        EXPECT_EQ(engine.presetCount(), 0) << index;
        double block[4] = {1, 2, 3, 4};
        EXPECT_EQ(withModule([&](EffectModule* m) { return m->process(block, block, 4, 4, 3); }), 4);
        EXPECT_EQ(block[3], 4.0);
    }
}

TEST_F(ModuleFactoryTest, WithoutKeepGainResetsAndValuesBeyondTheCountStay) {
    engine.setMasterGain(3.0);
    double values[kMaxParameters];
    for (int k = 0; k < kMaxParameters; ++k) values[k] = 100.0 + k;
    engine.setParameterValues(values, kMaxParameters);
    build(0, 48000, 2, false);
    EXPECT_EQ(engine.masterGain(), 1.0);
    for (int k = 0; k < kMaxParameters; ++k) EXPECT_EQ(shown().values[k], 100.0 + k);
}

TEST_F(ModuleFactoryTest, WithKeepGainAndValuesStay) {
    engine.setMasterGain(3.0);
    const double five = 5.0;
    engine.setParameterValues(&five, 1);
    build(0, 48000, 1, true);
    EXPECT_EQ(engine.masterGain(), 3.0);
    EXPECT_EQ(shown().values[0], 5.0);
}

TEST_F(ModuleFactoryTest, RebuildWithoutKeepResetsOnlyTheNewModulesValues) {
    build(8, 44100, 2, false);  // 31 bands
    ASSERT_EQ(shown().parameterCount, 31);
    double fives[31];
    for (double& v : fives) v = 5.0;
    engine.setParameterValues(fives, 31);
    engine.setMasterGain(2.0);
    build(4, 44100, 2, false);  // 3 bands
    const EngineSnapshot s = shown();
    ASSERT_EQ(s.parameterCount, 3);
    EXPECT_EQ(engine.masterGain(), 1.0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.values[k], s.descriptors[k].defaultValue);
    for (int k = 3; k < 31; ++k) EXPECT_EQ(s.values[k], 5.0) << k;
}

TEST_F(ModuleFactoryTest, RebuildWithKeepHandsTheValuesToTheNewModule) {
    build(5, 44100, 2, false);
    double values[kMaxParameters];
    for (int k = 0; k < kMaxParameters; ++k) values[k] = (k % 2) ? 9.0 : -9.0;
    engine.setParameterValues(values, shown().parameterCount);
    engine.setMasterGain(0.5);
    build(5, 48000, 2, true);
    EXPECT_EQ(engine.masterGain(), 0.5);
    EXPECT_EQ(shown().values[1], 9.0);

    // The rebuilt module sounds like one given those values directly.
    std::unique_ptr<EffectModule> reference = createModule(5, 48000, 2);
    reference->setParameters(shown().values);
    std::vector<double> a(2048), b(2048);
    for (size_t i = 0; i < a.size(); ++i) a[i] = b[i] = 1000.0 * std::sin(0.05 * static_cast<double>(i));
    withModule([&](EffectModule* m) { return m->process(a.data(), a.data(), 2048, 2048, 3); });
    reference->process(b.data(), b.data(), 2048, 2048, 3);
    EXPECT_EQ(a, b);
    std::vector<double> flat(2048);
    for (size_t i = 0; i < flat.size(); ++i) flat[i] = 1000.0 * std::sin(0.05 * static_cast<double>(i));
    EXPECT_NE(a, flat) << "the values must change the sound";
}

TEST_F(ModuleFactoryTest, EveryModuleDescribesParametersWithinTheirRanges) {
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        for (int channels : {1, 2}) {
            build(index, 44100, channels, false);
            const EngineSnapshot s = shown();
            ASSERT_TRUE(s.hasModule) << index;
            ASSERT_GE(s.parameterCount, 0);
            ASSERT_LE(s.parameterCount, 37) << "the settings block holds 37 parameters";
            for (int k = 0; k < s.parameterCount; ++k) {
                const ParamDescriptor& d = s.descriptors[k];
                EXPECT_NE(d.max, d.min) << index << " " << d.name;
                EXPECT_LT(std::strlen(d.name), sizeof d.name);
                EXPECT_GE(d.defaultValue, std::min(d.min, d.max)) << index << " " << d.name;
                EXPECT_LE(d.defaultValue, std::max(d.min, d.max)) << index << " " << d.name;
                EXPECT_EQ(s.values[k], d.defaultValue);
            }
        }
    }
}

// A module built without keep still receives the values in force (the
// defaults): DeNoise then learns for its default "NoiseLen" of 0.2 s, not for
// the 0.25 s its constructor starts with, on every path that builds it.
TEST_F(ModuleFactoryTest, AModuleIsBuiltWithTheValuesInForce) {
    build(kModuleDeNoise, 44100, 1, false);
    std::vector<double> block(441);
    std::vector<double> out;
    for (int b = 0; b < 30; ++b) {
        for (int i = 0; i < 441; ++i) block[i] = 8000.0 * std::sin(0.05 * (b * 441 + i));
        const int got = withModule([&](EffectModule* m) { return m->process(block.data(), block.data(), 441, 441, 1); });
        out.insert(out.end(), block.begin(), block.begin() + got);
    }
    ASSERT_GE(out.size(), 11025u);
    double energy = 0;
    for (size_t i = 9702; i < 10584; ++i) energy += out[i] * out[i];  // 0.22 s to 0.24 s
    EXPECT_GT(energy, 0.0) << "still learning after 0.2 s: the module kept its constructor's value";
}

}  // namespace
