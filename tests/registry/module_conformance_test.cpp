// The rules every registered module keeps, run over every selectable index
// at a low, the usual and a high sample rate. A new module gets these for
// free; its own tests cover only its sound. What a module is exempt from
// comes from its registry row.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "effects/restoration/de_noise.h"
#include "framework/block_effect.h"
#include "framework/slider_scale.h"
#include "host/engine.h"
#include "registry/module_registry.h"
#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

constexpr int kBlockFrames = 576;

// A frame longer than the block may leave a block empty while the latency
// settles, and a block is served as soon as one is ready, so a hop that
// outlasts many host blocks may let the queue run dry once, up to about 14
// hops in (1.4 s with the stereo vocal remover's 0.1 s hop). After 15 hops, or
// a quarter of a second, no block may be short.
int settleFrames(EffectModule& module, int rate) {
    const auto* block = dynamic_cast<const BlockEffect*>(&module);
    return std::max(rate / 4, block ? 15 * block->hop() : 0);
}

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
std::vector<double> programme(int rate, int frames, int channels, uint32_t seed = 7) {
    std::vector<double> x = testsignals::noise(frames, channels, 1500.0, seed);
    const std::vector<double> a = testsignals::sine(frames, channels, rate, 220.0, 6000.0);
    const std::vector<double> b = testsignals::sine(frames, channels, rate, 3100.0, 2500.0);
    for (size_t i = 0; i < x.size(); ++i) x[i] += a[i] + b[i];
    for (int f = 900; f < frames; f += 7001) x[static_cast<size_t>(f) * channels] += 12000.0;
    return x;
}

// The module's name as a test name: "DeNoise", "GEQ10", "LevelTuning".
std::string testName(int index) {
    std::string name = moduleNameText(index);
    if (name.rfind("GEQ", 0) == 0) {
        name = name.substr(0, name.find("Bands"));
    } else if (name.find('-') != std::string::npos) {
        name = name.substr(name.find('-') + 1);
    }
    std::string out;
    for (char c : name)
        if (std::isalnum(static_cast<unsigned char>(c))) out += c;
    return out;
}

class ModuleConformance : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    int index() const { return std::get<0>(GetParam()); }
    int rate() const { return std::get<1>(GetParam()); }
    const ModuleRow& row() const { return moduleRow(index()); }
    std::vector<double> programme(int frames, int channels, uint32_t seed = 7) const {
        return ::programme(rate(), frames, channels, seed);
    }

    // The module as the engine builds it, with its parameter model.
    EffectModule& build(int channels) {
        engine->setStreamFormat(rate(), channels);
        engine->buildModule(index(), false);
        EffectModule* module = engine->withModule([](EffectModule* m) { return m; });
        EXPECT_TRUE(module);
        return *module;
    }
    EngineSnapshot shown() const { return engine->snapshot(); }
    // Hands the module every parameter at the bottom of its slider.
    void applyMinimums(EffectModule& module) const {
        const EngineSnapshot s = shown();
        double values[kMaxParameters];
        for (int k = 0; k < s.parameterCount; ++k) values[k] = s.descriptors[k].min;
        module.applyParameters(values);
    }

    std::unique_ptr<Engine> engine = std::make_unique<Engine>();
};

TEST_P(ModuleConformance, TheBuiltModuleAgreesWithItsRow) {
    EffectModule& module = build(2);
    const EngineSnapshot s = shown();
    ParameterInfo described[kMaxParameters];
    ASSERT_EQ(describeModuleParameters(index(), rate(), described), s.parameterCount);
    for (int k = 0; k < s.parameterCount; ++k) {
        const ParamDescriptor& d = described[k].descriptor;
        EXPECT_STREQ(s.descriptors[k].name, d.name);
        EXPECT_EQ(s.descriptors[k].max, d.max) << d.name;
        EXPECT_EQ(s.descriptors[k].min, d.min) << d.name;
        EXPECT_EQ(s.descriptors[k].defaultValue, d.defaultValue) << d.name;
        EXPECT_NE(std::string(described[k].meaning), "") << d.name;
        for (double v : {d.max, d.min, 0.5 * (d.max + d.min)})
            EXPECT_EQ(module.displayValue(k, v), shownValue(described[k], v)) << d.name << " at " << v;
        // A shown form reads back: morv's --set takes the shown quantity.
        EXPECT_EQ(described[k].shown == nullptr, described[k].stored == nullptr) << d.name;
        for (double v : {d.max, d.min, d.defaultValue, 0.3 * d.max + 0.7 * d.min})
            EXPECT_NEAR(storedValue(described[k], shownValue(described[k], v)), v, 1e-12) << d.name << " at " << v;
    }
    const PresetRecord* own = nullptr;
    EXPECT_EQ(module.presets(&own), row().presets.count);
    EXPECT_EQ(module.presetCount(), row().presets.count);
    if (row().presets.count > 0) {
        EXPECT_EQ(own, row().presets.records);
    }
    EXPECT_EQ(dynamic_cast<DeNoise*>(&module) != nullptr, row().has(kLearnsNoise));
    EXPECT_EQ(module.tailFrames() > 0, row().has(kHasTail));
}

TEST_P(ModuleConformance, SteadyStateProcessingAllocatesNothingAndStaysFinite) {
    EffectModule& module = build(2);
    const std::vector<double> input = programme(3 * rate(), 2);
    std::vector<double> work(4 * kBlockFrames * 2);
    long during = 0;
    for (size_t start = 0; start + 2 * kBlockFrames <= input.size(); start += 2 * kBlockFrames) {
        std::copy(input.begin() + start, input.begin() + start + 2 * kBlockFrames, work.begin());
        const int capacity = outputCapacity(module.extraOutput(), 2 * kBlockFrames);
        const long before = allocprobe::threadAllocations();
        const int got = module.process(work.data(), work.data(), 2 * kBlockFrames, capacity, 3);
        // The first second is not counted: queues take their size from the first blocks.
        if (start >= static_cast<size_t>(2 * rate())) during += allocprobe::threadAllocations() - before;
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
        stream(module, programme(rate() / 2, channels), channels, 3);
        EXPECT_EQ(module.process(nullptr, nullptr, 0, 0, 3), 0);
    }
}

TEST_P(ModuleConformance, LengthIsKeptBlockForBlockOnceTheLatencyIsFilled) {
    if (row().has(kChangesLength)) GTEST_SKIP() << "its length follows its factor";
    for (int channels : {1, 2}) {
        EffectModule& module = build(channels);
        const int settle = settleFrames(module, rate());
        for (int blockFrames : {kBlockFrames, 37, 4096}) {
            std::vector<int> produced;
            stream(module, programme(std::max(rate(), 2 * settle), channels), channels, channels == 1 ? 1 : 3,
                   &produced, blockFrames);
            const size_t settled = (settle + blockFrames - 1) / blockFrames;
            for (size_t b = settled; b + 1 < produced.size(); ++b) {
                ASSERT_EQ(produced[b], blockFrames * channels) << "block " << b << " of " << blockFrames << " frames";
            }
        }
    }
}

TEST_P(ModuleConformance, ResetEmptiesTheSignalHistory) {
    EffectModule& module = build(2);
    stream(module, programme(rate(), 2), 2, 3);
    module.reset();
    const std::vector<double> out = stream(module, std::vector<double>(2 * rate(), 0.0), 2, 3);
    double peak = 0.0;
    for (double v : out) peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 1e-6) << "silence after reset must come out silent";
}

TEST_P(ModuleConformance, AnUnselectedChannelDependsOnlyOnItsOwnInput) {
    if (row().has(kWorksOnThePair)) GTEST_SKIP() << "works on the pair whatever the mask";
    // The right channel is unselected; whatever the left carries and whatever
    // the parameters say, it comes out the same, and not silenced.
    const int frames = rate();
    const std::vector<double> right = programme(frames, 1, 11);
    std::vector<double> outputs[2];
    for (int run = 0; run < 2; ++run) {
        EffectModule& module = build(2);
        if (run == 1) applyMinimums(module);
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

TEST_P(ModuleConformance, APairModuleProcessesBothChannelsWhateverTheMask) {
    if (!row().has(kWorksOnThePair)) GTEST_SKIP() << "follows the mask";
    const std::vector<double> input = programme(rate() / 2, 2);
    std::vector<double> outputs[3];
    for (int mask : {1, 2, 3}) {
        EffectModule& module = build(2);
        applyMinimums(module);
        outputs[mask - 1] = stream(module, input, 2, mask);
    }
    EXPECT_EQ(outputs[0], outputs[2]) << "mask 1 leaves the right channel as mask 3 does";
    EXPECT_EQ(outputs[1], outputs[2]) << "mask 2 leaves the left channel as mask 3 does";
    size_t changed = 0;
    for (size_t i = 1; i < std::min(input.size(), outputs[0].size()); i += 2) changed += outputs[0][i] != input[i];
    EXPECT_GT(changed, outputs[0].size() / 4) << "the unselected right channel is processed";
}

// A 5.1 stream: channels past the second follow the pair. A module that
// takes only the pair hands them back dry, delayed by its latency; any other
// processes them as it processes the pair, so that copies of the left and
// right channels come out as those do.
TEST_P(ModuleConformance, ChannelsPastTheSecondStayInLineWithThePair) {
    if (index() == kModuleWhisper) GTEST_SKIP() << "draws its phases anew for every channel";
    const std::vector<double> pair = programme(rate(), 2);
    std::vector<double> wide(3 * pair.size());
    for (size_t i = 0; i < wide.size(); ++i) wide[i] = pair[2 * (i / 6) + i % 2];
    EffectModule& module = build(6);
    const size_t latency = module.latencyFrames();
    const bool dry = row().has(kTakesOnlyThePair);
    if (!dry) {
        EXPECT_EQ(latency, 0u) << "only a module of the pair delays within the signal";
    }
    const std::vector<double> out = stream(module, wide, 6, 3);
    ASSERT_GT(out.size(), wide.size() / 2);
    for (size_t f = 0; f < out.size() / 6; ++f) {
        for (size_t c = 2; c < 6; ++c) {
            const double expected = !dry ? out[6 * f + c % 2] : f < latency ? 0.0 : wide[6 * (f - latency) + c];
            ASSERT_EQ(out[6 * f + c], expected) << "frame " << f << " channel " << c;
        }
    }
}

// Frames from the first sample above the threshold to the last.
double audibleSeconds(const std::vector<double>& x, int rate) {
    const auto loud = [](double v) { return std::fabs(v) > 1.0; };
    const auto first = std::find_if(x.begin(), x.end(), loud);
    if (first == x.end()) return 0.0;
    const auto last = std::find_if(x.rbegin(), x.rend(), loud).base();
    return static_cast<double>(last - first) / 2 / rate;
}

// A module with a tail sounds on well after its input stops; any other at
// most by the smear of its longest frame (the stereo vocal remover's 0.2 s).
TEST_P(ModuleConformance, OnlyAModuleWithATailSoundsFarBeyondItsInput) {
    EffectModule& module = build(2);
    std::vector<double> input = programme(rate() / 4, 2);
    input.resize(input.size() * 6, 0.0);
    const double longer = audibleSeconds(stream(module, input, 2, 3), rate()) - audibleSeconds(input, rate());
    if (row().has(kHasTail)) {
        EXPECT_GT(longer, 0.4);
    } else {
        EXPECT_LT(longer, 0.2);
    }
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
        const std::vector<double> out = stream(module, programme(rate() / 4, 2), 2, 3);
        ASSERT_TRUE(allFinite(out)) << "reach " << reach;
    }
}

TEST_P(ModuleConformance, PresetsApplyAndComeBackThroughTheSettingsWords) {
    build(2);
    const PresetTable table = row().presets;
    for (int p = 0; p + 1 < table.count; ++p) {
        ASSERT_TRUE(engine->applyPreset(p, nullptr));
        const EngineSnapshot applied = shown();
        for (int k = 0; k < applied.parameterCount; ++k) ASSERT_EQ(applied.values[k], table.records[p].values[k + 1]);
        unsigned char bytes[kSettingsBytes];
        engine->saveSettings(bytes);
        // What a restart brings back: the words turned into values.
        engine = std::make_unique<Engine>();
        engine->loadSettings(bytes, kSettingsBytes, true);
        ASSERT_EQ(engine->moduleIndex(), index());
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
        EXPECT_TRUE(allFinite(stream(restarted, programme(rate() / 4, 2), 2, 3)));
    }
}

// The click detector once overflowed only below 16 kHz; "Hi F" of the stereo
// vocal remover follows the rate.
INSTANTIATE_TEST_SUITE_P(Conformance, ModuleConformance,
                         ::testing::Combine(::testing::Range(0, kSelectableModuleCount),
                                            ::testing::Values(8000, 44100, 96000)),
                         [](const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
                             return testName(std::get<0>(info.param)) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "Hz";
                         });

}  // namespace
