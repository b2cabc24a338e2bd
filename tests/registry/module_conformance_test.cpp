// The rules every registered module keeps, run over every selectable index.
// A new module gets these for free; its own tests cover only its sound.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "framework/slider_scale.h"
#include "host/engine.h"
#include "registry/module_registry.h"
#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlockFrames = 576;

// Modules whose output length follows a factor instead of the input's.
const std::set<int> kLengthChanging = {kModuleResampler, kModuleTempoScaler};
// Modules whose hop outlasts many host blocks: a block is served as soon as
// one is ready, so the queue may run dry once, up to 1.4 s in (the stereo
// vocal remover's 0.1 s hop, 0.2 s of a mono stream).
const std::set<int> kSlowToSettle = {kModuleDeVocalStereo};

// Modules that ignore the channel mask by design.
const std::set<int> kMaskIgnored = {
    kModuleDeVocalMono,    // the vocal removers and 3D work on the pair whatever the
    kModuleDeVocalStereo,  // mask; the player offers them only PASS
    kModuleVirtual3D,
    kModuleResampler,     // changes every channel's length alike: all channels of a
    kModuleTempoScaler,   // block must keep one length
};

// The pipeline's output capacity for a block of n samples.
int outputCapacity(int extra, int n) {
    if (extra > n) return 2 * n;
    return extra > 0 ? n + extra : n;
}

// Runs the input through the module in blocks as the pipeline would and
// returns everything produced; records each call's result in produced.
std::vector<double> stream(EffectModule& module, const std::vector<double>& input, int channels, int mask,
                           std::vector<int>* produced = nullptr, int blockFrames = kBlockFrames) {
    std::vector<double> out;
    std::vector<double> work;
    const int blockSamples = blockFrames * channels;
    for (size_t start = 0; start < input.size(); start += blockSamples) {
        const int n = static_cast<int>(std::min<size_t>(blockSamples, input.size() - start));
        const int capacity = outputCapacity(module.extraOutput(), n);
        work.assign(static_cast<size_t>(std::max(capacity, n)), 0.0);
        std::copy(input.begin() + start, input.begin() + start + n, work.begin());
        const int got = module.process(work.data(), work.data(), n, capacity, mask);
        if (produced) produced->push_back(got);
        EXPECT_GE(got, 0);
        EXPECT_LE(got, capacity);
        EXPECT_EQ(got % channels, 0);
        out.insert(out.end(), work.begin(), work.begin() + std::max(0, std::min(got, capacity)));
    }
    return out;
}

bool allFinite(const std::vector<double>& x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
}

// A programme-like test signal: two tones, noise and a few clicks.
std::vector<double> programme(int frames, int channels, uint32_t seed = 7) {
    std::vector<double> x = testsignals::noise(frames, channels, 1500.0, seed);
    const std::vector<double> a = testsignals::sine(frames, channels, kRate, 220.0, 6000.0);
    const std::vector<double> b = testsignals::sine(frames, channels, kRate, 3100.0, 2500.0);
    for (size_t i = 0; i < x.size(); ++i) x[i] += a[i] + b[i];
    for (int f = 900; f < frames; f += 7001) x[static_cast<size_t>(f) * channels] += 12000.0;
    return x;
}

class ModuleConformance : public ::testing::TestWithParam<int> {
protected:
    // The module as the engine builds it, with its parameter model.
    EffectModule& build(int channels) {
        engine->setStreamFormat(kRate, channels);
        engine->buildModule(GetParam(), false);
        EffectModule* module = engine->withModule([](EffectModule* m) { return m; });
        EXPECT_TRUE(module);
        return *module;
    }
    EngineSnapshot shown() const { return engine->snapshot(); }

    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
};

TEST_P(ModuleConformance, SteadyStateProcessingAllocatesNothingAndStaysFinite) {
    EffectModule& module = build(2);
    const std::vector<double> input = programme(3 * kRate, 2);
    std::vector<double> work(4 * kBlockFrames * 2);
    long during = 0;
    for (size_t start = 0; start + 2 * kBlockFrames <= input.size(); start += 2 * kBlockFrames) {
        std::copy(input.begin() + start, input.begin() + start + 2 * kBlockFrames, work.begin());
        const int capacity = outputCapacity(module.extraOutput(), 2 * kBlockFrames);
        const long before = allocprobe::threadAllocations();
        const int got = module.process(work.data(), work.data(), 2 * kBlockFrames, capacity, 3);
        // The first second is not counted: queues take their size from the first blocks.
        if (start >= static_cast<size_t>(2 * kRate)) during += allocprobe::threadAllocations() - before;
        for (int i = 0; i < got; ++i) ASSERT_TRUE(std::isfinite(work[i])) << "sample " << start + i;
    }
    EXPECT_EQ(during, 0);
}

// The player may hand over a block of no frames; the buffers behind it can be
// empty, so nothing may be read or written through them.
TEST_P(ModuleConformance, AnEmptyBlockDeliversNothing) {
    for (int channels : {1, 2}) {
        EffectModule& module = build(channels);
        EXPECT_EQ(module.process(nullptr, nullptr, 0, 0, 3), 0);
        stream(module, programme(kRate / 2, channels), channels, 3);
        EXPECT_EQ(module.process(nullptr, nullptr, 0, 0, 3), 0);
    }
}

TEST_P(ModuleConformance, LengthIsKeptBlockForBlockOnceTheLatencyIsFilled) {
    if (kLengthChanging.count(GetParam())) GTEST_SKIP() << "its length follows its factor";
    for (int channels : {1, 2}) {
        EffectModule& module = build(channels);
        const bool slow = kSlowToSettle.count(GetParam()) > 0;
        for (int blockFrames : {kBlockFrames, 37, 4096}) {
            std::vector<int> produced;
            stream(module, programme(slow ? 3 * kRate : kRate, channels), channels, channels == 1 ? 1 : 3, &produced,
                   blockFrames);
            // A frame longer than the block may leave a block empty while the
            // latency settles; after a quarter of a second none may be.
            const int settleFrames = slow ? 3 * kRate / 2 : kRate / 4;
            const size_t settled = (settleFrames + blockFrames - 1) / blockFrames;
            for (size_t b = settled; b + 1 < produced.size(); ++b) {
                ASSERT_EQ(produced[b], blockFrames * channels) << "block " << b << " of " << blockFrames << " frames";
            }
        }
    }
}

TEST_P(ModuleConformance, ResetEmptiesTheSignalHistory) {
    EffectModule& module = build(2);
    stream(module, programme(kRate, 2), 2, 3);
    module.reset();
    const std::vector<double> out = stream(module, std::vector<double>(2 * kRate, 0.0), 2, 3);
    double peak = 0.0;
    for (double v : out) peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 1e-6) << "silence after reset must come out silent";
}

TEST_P(ModuleConformance, AnUnselectedChannelDependsOnlyOnItsOwnInput) {
    if (kMaskIgnored.count(GetParam())) GTEST_SKIP() << "ignores the channel mask";
    // The right channel is unselected; whatever the left carries and whatever
    // the parameters say, it comes out the same, and not silenced.
    const int frames = kRate;
    const std::vector<double> right = programme(frames, 1, 11);
    std::vector<double> outputs[2];
    for (int run = 0; run < 2; ++run) {
        EffectModule& module = build(2);
        if (run == 1) {
            const EngineSnapshot s = shown();
            double values[kMaxParameters];
            for (int k = 0; k < s.parameterCount; ++k) values[k] = s.descriptors[k].min;
            module.applyParameters(values);
        }
        const std::vector<double> left = programme(frames, 1, run == 0 ? 3 : 5);
        std::vector<double> input(2 * static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            input[2 * i] = left[i] * (run == 0 ? 1.0 : 0.3);
            input[2 * i + 1] = right[i];
        }
        const std::vector<double> out = stream(module, input, 2, 1);
        for (size_t i = 1; i < out.size(); i += 2) outputs[run].push_back(out[i]);
    }
    ASSERT_EQ(outputs[0].size(), outputs[1].size());
    EXPECT_EQ(outputs[0], outputs[1]);
    const size_t tail = outputs[0].size() / 2;
    EXPECT_GT(testsignals::rms(outputs[0], tail), 0.5 * testsignals::rms(right, tail));
}

TEST_P(ModuleConformance, ParametersOutsideTheirRangesDoNoHarm) {
    // Stored settings are not limited to the slider ranges.
    EffectModule& module = build(2);
    const EngineSnapshot s = shown();
    if (s.parameterCount == 0) GTEST_SKIP() << "no parameters";
    double values[kMaxParameters];
    for (double reach : {-1e9, -10.0, 11.0, 1e9}) {
        for (int k = 0; k < s.parameterCount; ++k) {
            const ParamDescriptor& d = s.descriptors[k];
            values[k] = d.max + reach * (d.min - d.max);
        }
        module.applyParameters(values);
        const std::vector<double> out = stream(module, programme(kRate / 4, 2), 2, 3);
        ASSERT_TRUE(allFinite(out)) << "reach " << reach;
    }
}

TEST_P(ModuleConformance, PresetsApplyAndComeBackThroughTheSettingsWords) {
    if (!moduleImplemented(GetParam())) GTEST_SKIP() << "not built yet";
    EffectModule& module = build(2);
    const PresetTable table = presetTableFor(GetParam());
    const PresetRecord* own = nullptr;
    ASSERT_EQ(module.presets(&own), table.count) << "the module hands out its registry table";
    ASSERT_EQ(module.presetCount(), table.count);
    if (table.count > 0) {
        EXPECT_EQ(own, table.records);
    }
    for (int p = 0; p + 1 < table.count; ++p) {
        ASSERT_TRUE(engine->applyPreset(p, nullptr));
        const EngineSnapshot applied = shown();
        for (int k = 0; k < applied.parameterCount; ++k) ASSERT_EQ(applied.values[k], table.records[p].values[k + 1]);
        unsigned char bytes[kSettingsBytes];
        engine->saveSettings(bytes);
        // What a restart brings back: the words turned into values.
        engine = std::make_unique<Engine>();
        engine->loadSettings(bytes, kSettingsBytes, true);
        ASSERT_EQ(engine->moduleIndex(), GetParam());
        EffectModule& restarted = build(2);
        engine->restoreSettings();
        // Preset 0 comes back through the "Custom" record's words and leaves
        // the factory's 0 dB in force (the DeVocal tables' first record says +6).
        const double restoredGain = p == 0 ? 0.0 : 20 * std::log10(applied.masterGain);
        EXPECT_NEAR(20 * std::log10(engine->masterGain()), restoredGain, 0.02) << "preset " << p;
        const EngineSnapshot restored = shown();
        for (int k = 0; k < restored.parameterCount; ++k) {
            const ParamDescriptor& d = restored.descriptors[k];
            EXPECT_NEAR(restored.values[k], applied.values[k], 1.0001 * std::fabs(d.max - d.min) / kSliderPositions)
                << "preset " << p << " parameter " << d.name;
        }
        EXPECT_TRUE(allFinite(stream(restarted, programme(kRate / 4, 2), 2, 3)));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModule, ModuleConformance, ::testing::Range(0, kSelectableModuleCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Module" + std::to_string(info.param);
                         });

}  // namespace
