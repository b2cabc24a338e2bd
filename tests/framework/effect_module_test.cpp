#include <gtest/gtest.h>

#include <vector>

#include "framework/effect_module.h"
#include "framework/planar_effect.h"

namespace {

// Doubles each selected plane; unselected planes pass unchanged.
class DoublingPlanes : public PlanarEffect {
public:
    using PlanarEffect::PlanarEffect;
    void processPlanes(int mask) override {
        ++calls;
        for (int c = 0; c < channels_; ++c) {
            const double* in = inputPlane(c);
            double* out = outputPlane(c);
            const double factor = channelSelected(c, mask) ? 2.0 : 1.0;
            for (int i = 0; i < outputFrames(); ++i) out[i] = in[i] * factor;
        }
    }
    int calls = 0;
};

// Scales every plane by a gain that setParameters stores and redesign applies.
class RedesignedGain : public PlanarEffect {
public:
    RedesignedGain() : PlanarEffect(2, 16) {}
    void setParameters(const double* values) override {
        stored_ = values[0];
        requestRedesign();
    }
    void processPlanes(int) override {
        for (int c = 0; c < channels_; ++c)
            for (int i = 0; i < outputFrames(); ++i) outputPlane(c)[i] = inputPlane(c)[i] * gain_;
    }
    int redesigns = 0;

protected:
    void captureDesignRequest() override { request_ = stored_; }
    void buildDesign() override { staged_ = request_; }
    void swapDesign() override {
        ++redesigns;
        gain_ = staged_;
    }

private:
    double stored_ = 1.0, request_ = 1.0, staged_ = 1.0, gain_ = 1.0;
};

TEST(EffectModule, PassThroughReturnsInputAndCountInPlace) {
    EffectModule module(6000);
    std::vector<double> block = {1.0, -2.0, 32767.0, -32768.0, 0.5, 7.0};
    const std::vector<double> original = block;
    EXPECT_EQ(module.process(block.data(), block.data(), 6, 6, 3), 6);
    EXPECT_EQ(block, original);

    std::vector<double> out(6, 0.0);
    EXPECT_EQ(module.process(original.data(), out.data(), 6, 6, 3), 6);
    EXPECT_EQ(out, original);
}

TEST(EffectModule, BaseOperationsHaveNoParametersOrPresets) {
    EffectModule module(0);
    ParamDescriptor descriptors[kMaxParameters] = {};
    EXPECT_EQ(module.describeParameters(descriptors), 0);
    EXPECT_EQ(module.extraOutput(), 0);
    const PresetRecord* table = reinterpret_cast<const PresetRecord*>(&module);
    EXPECT_EQ(module.presets(&table), 0);
    EXPECT_EQ(table, reinterpret_cast<const PresetRecord*>(&module)) << "presets() must leave *table untouched";
    EXPECT_EQ(module.displayValue(0, 1.25), 1.25);
    EXPECT_EQ(module.reset(), 0);
}

TEST(PlanarEffect, InterleavesPlanesAndHonoursMask) {
    DoublingPlanes left(2, 5000);
    std::vector<double> block = {1, 10, 2, 20, 3, 30};
    EXPECT_EQ(left.process(block.data(), block.data(), 6, 6, 1), 6);
    EXPECT_EQ(block, (std::vector<double>{2, 10, 4, 20, 6, 30}));

    DoublingPlanes right(2, 5000);
    block = {1, 10, 2, 20, 3, 30};
    right.process(block.data(), block.data(), 6, 6, 2);
    EXPECT_EQ(block, (std::vector<double>{1, 20, 2, 40, 3, 60}));
}

TEST(PlanarEffect, StoredParametersAreDesignedOnceByTheNextProcess) {
    RedesignedGain module;
    const double first[] = {5.0}, second[] = {-3.0};
    module.setParameters(first);
    module.setParameters(second);
    EXPECT_EQ(module.redesigns, 0) << "setParameters only stores";
    EXPECT_TRUE(module.redesignPending());
    std::vector<double> block = {1, 2, 3, 4};
    module.process(block.data(), block.data(), 4, 4, 3);
    EXPECT_EQ(block, (std::vector<double>{-3, -6, -9, -12})) << "the block already uses the last values";
    EXPECT_EQ(module.redesigns, 1);
    EXPECT_FALSE(module.redesignPending());
    module.process(block.data(), block.data(), 4, 4, 3);
    EXPECT_EQ(module.redesigns, 1) << "no new values, no redesign";
}

TEST(PlanarEffect, EmptyBlockWritesNothing) {
    DoublingPlanes module(2, 5000);
    double sentinel[2] = {99.0, 99.0};
    EXPECT_EQ(module.process(sentinel, sentinel, 0, 0, 3), 0);
    EXPECT_EQ(sentinel[0], 99.0);
    EXPECT_EQ(module.calls, 1);
}

TEST(PlanarEffect, GrowsBeyondItsCapacityAndProcessesTheWholeBlock) {
    DoublingPlanes module(2, 5000);
    const int frames = 6000;
    std::vector<double> block(2 * frames);
    for (int i = 0; i < 2 * frames; ++i) block[i] = i;
    ASSERT_EQ(module.process(block.data(), block.data(), 2 * frames, 2 * frames, 3), 2 * frames);
    EXPECT_GE(module.capacityA(), 2 * frames);
    for (int i = 0; i < 2 * frames; ++i) ASSERT_EQ(block[i], 2.0 * i) << "at " << i;
}

TEST(PlanarEffect, ResultIsWholeFramesOfTheCapacity) {
    DoublingPlanes module(2, 5000);
    std::vector<double> block(8, 1.0);
    // An odd capacity rounds down to whole frames.
    EXPECT_EQ(module.process(block.data(), block.data(), 6, 7, 3), 6);
}

}  // namespace
