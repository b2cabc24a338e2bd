#include "effects/eq/graphic_equalizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "registry/module_registry.h"
#include "tests/framework/allocation_probe.h"
#include "tests/support/test_signals.h"

namespace {

using testsignals::kPi;

const EqBandTable& family(int moduleIndex) { return *eqBandTableFor(moduleIndex); }

// Runs interleaved samples through the equaliser in blocks of blockFrames.
std::vector<double> run(GraphicEqualizer& eq, std::vector<double> signal, int blockFrames, int mask = 3) {
    const int channels = eq.channelCount();
    const int total = static_cast<int>(signal.size()) / channels;
    for (int start = 0; start < total; start += blockFrames) {
        const int frames = std::min(blockFrames, total - start);
        double* block = signal.data() + static_cast<size_t>(start) * channels;
        EXPECT_EQ(eq.process(block, block, frames * channels, frames * channels, mask), frames * channels);
    }
    return signal;
}

std::vector<double> gainsOf(std::initializer_list<double> gains) {
    std::vector<double> values(kMaxParameters, 0.0);
    std::copy(gains.begin(), gains.end(), values.begin());
    return values;
}

// Gains of +-18 dB alternating band by band, the hardest case for the cascade.
std::vector<double> alternatingGains(int bands) {
    std::vector<double> values(kMaxParameters, 0.0);
    for (int b = 0; b < bands; ++b) values[b] = (b % 2) ? -18.0 : 18.0;
    return values;
}

// Magnitude in dB of the DTFT of a (decayed) impulse response at frequency f.
double measuredDb(const std::vector<double>& response, double f, double rate) {
    std::complex<double> sum = 0.0;
    const std::complex<double> step = std::polar(1.0, -2.0 * kPi * f / rate);
    std::complex<double> rotor = 1.0;
    for (size_t n = 0; n < response.size(); ++n) {
        sum += response[n] * rotor;
        rotor *= step;
        if (n % 1024 == 1023) rotor /= std::abs(rotor);
    }
    return 20.0 * std::log10(std::abs(sum));
}

TEST(GraphicEqualizerTest, FlatGainsPassTheInputUnchangedInEveryFamily) {
    const std::vector<double> input = testsignals::noise(20000, 2, 30000.0, 7);
    for (int index = kModuleFirstEqualizer; index <= kModuleLastEqualizer; ++index) {
        GraphicEqualizer eq(44100.0, 2, family(index));
        EXPECT_EQ(eq.effectiveBandCount(), family(index).bandCount);
        const std::vector<double> output = run(eq, input, 576);
        double worst = 0.0;
        for (size_t i = 0; i < input.size(); ++i) worst = std::max(worst, std::fabs(output[i] - input[i]));
        EXPECT_LT(worst, 1e-9) << "module " << index;
    }
}

TEST(GraphicEqualizerTest, CascadeResponseMatchesTheSectionsAtBandCentres) {
    constexpr double kRate = 44100.0;
    constexpr int kResponseLength = 1 << 17;  // long enough for the 20 Hz sections to decay
    for (int index = kModuleFirstEqualizer; index <= kModuleLastEqualizer; ++index) {
        const EqBandTable& table = family(index);
        GraphicEqualizer eq(kRate, 1, table);
        eq.setParameters(alternatingGains(table.bandCount).data());
        std::vector<double> impulse(kResponseLength, 0.0);
        impulse[0] = 1.0;
        const std::vector<double> response = run(eq, impulse, 4096, 1);
        for (int b = 0; b < table.bandCount; ++b) {
            const double f = table.centreFrequencies[b];
            double analytic = 1.0;
            for (int s = 0; s < eq.effectiveBandCount(); ++s) analytic *= eq.section(s).magnitudeAt(f, kRate);
            EXPECT_NEAR(measuredDb(response, f, kRate), 20.0 * std::log10(analytic), 0.05)
                << "module " << index << " band " << b;
        }
        // The designed gains show: the peaks and dips alternate around the band centres.
        if (table.bandCount >= 10) {
            const double peak = 20.0 * std::log10(eq.magnitudeAt(table.centreFrequencies[2]));
            const double dip = 20.0 * std::log10(eq.magnitudeAt(table.centreFrequencies[3]));
            EXPECT_GT(peak, 6.0) << "module " << index;
            EXPECT_LT(dip, -6.0) << "module " << index;
        }
    }
}

TEST(GraphicEqualizerTest, ShelvesAtTheEdgesOfTheBand) {
    constexpr double kRate = 44100.0;
    GraphicEqualizer low(kRate, 1, family(4));
    low.setParameters(gainsOf({18.0, 0.0, 0.0}).data());
    GraphicEqualizer high(kRate, 1, family(4));
    high.setParameters(gainsOf({0.0, 0.0, -18.0}).data());

    // A constant input measures 0 Hz, an alternating one half the rate.
    const std::vector<double> dc(100000, 1.0);
    std::vector<double> nyquist(100000);
    for (size_t i = 0; i < nyquist.size(); ++i) nyquist[i] = (i % 2) ? -1.0 : 1.0;

    EXPECT_NEAR(std::fabs(run(low, dc, 1000, 1).back()), std::pow(10.0, 0.9), 1e-6);
    low.reset();
    EXPECT_NEAR(std::fabs(run(low, nyquist, 1000, 1).back()), 1.0, 1e-6);
    EXPECT_NEAR(std::fabs(run(high, dc, 1000, 1).back()), 1.0, 1e-6);
    high.reset();
    EXPECT_NEAR(std::fabs(run(high, nyquist, 1000, 1).back()), 0.125893, 1e-5);
}

TEST(GraphicEqualizerTest, EffectiveBandsAtLowSampleRates) {
    struct Case {
        int moduleIndex;
        double rate;
        int effective;
        double highShelfFrequency;
    };
    const Case cases[] = {
        {7, 32000.0, 19, 16000.0}, {8, 32000.0, 30, 16000.0}, {8, 22050.0, 28, 10000.0},
        {5, 22050.0, 9, 8000.0},   {4, 8000.0, 2, 1265.0},    {6, 44100.0, 15, 16000.0},
        {8, 42.0, 1, 20.0},  // a single band is a high shelf
    };
    for (const Case& c : cases) {
        GraphicEqualizer eq(c.rate, 2, family(c.moduleIndex));
        EXPECT_EQ(eq.effectiveBandCount(), c.effective) << c.moduleIndex << " at " << c.rate;
        // The last effective band is the high shelf, the first the low shelf.
        std::vector<double> gains(kMaxParameters, 6.0);
        eq.setParameters(gains.data());
        eq.process(nullptr, nullptr, 0, 0, 3);
        const BiquadSection expected = BiquadSection::highShelf(c.highShelfFrequency, c.rate, 6.0);
        const BiquadSection& last = eq.section(c.effective - 1);
        EXPECT_EQ(last.b0, expected.b0);
        EXPECT_EQ(last.a1, expected.a1);
        EXPECT_EQ(last.a2, expected.a2);
        if (c.effective > 1) {
            const BiquadSection low = BiquadSection::lowShelf(family(c.moduleIndex).centreFrequencies[0], c.rate, 6.0);
            EXPECT_EQ(eq.section(0).b1, low.b1);
        }
        // Every band keeps its slider.
        ParamDescriptor descriptors[kMaxParameters];
        EXPECT_EQ(eq.describeParameters(descriptors), family(c.moduleIndex).bandCount);
    }
}

TEST(GraphicEqualizerTest, SlidersAboveTheEffectiveBandsHaveNoEffect) {
    GraphicEqualizer eq(32000.0, 1, family(7));
    std::vector<double> gains(kMaxParameters, 0.0);
    gains[19] = 18.0;  // the 20 kHz band, above half of 32 kHz
    eq.setParameters(gains.data());
    const std::vector<double> input = testsignals::noise(5000, 1, 20000.0, 3);
    EXPECT_EQ(run(eq, input, 500, 1), input);
}

TEST(GraphicEqualizerTest, TheThreeBandFamilyAtEightKilohertzHasNoPeakingSection) {
    GraphicEqualizer eq(8000.0, 1, family(4));
    ASSERT_EQ(eq.effectiveBandCount(), 2);
    eq.setParameters(gainsOf({12.0, -12.0, 18.0}).data());
    eq.process(nullptr, nullptr, 0, 0, 1);
    EXPECT_NEAR(eq.magnitudeAt(0.0), std::pow(10.0, 0.6), 1e-9);
    EXPECT_NEAR(eq.magnitudeAt(4000.0), std::pow(10.0, -0.6), 1e-9);
}

TEST(GraphicEqualizerTest, GainsTakeEffectAtTheNextBlockOnly) {
    GraphicEqualizer eq(44100.0, 1, family(5));
    const BiquadSection before = eq.section(5);
    eq.setParameters(gainsOf({0, 0, 0, 0, 0, 12.0}).data());
    EXPECT_TRUE(eq.redesignPending());
    EXPECT_EQ(eq.section(5).b0, before.b0);  // nothing designed in setParameters
    eq.process(nullptr, nullptr, 0, 0, 1);
    EXPECT_FALSE(eq.redesignPending());
    EXPECT_NEAR(20.0 * std::log10(eq.section(5).magnitudeAt(1000.0, 44100.0)), 12.0, 1e-9);
}

TEST(GraphicEqualizerTest, BlockSizeDoesNotChangeTheOutput) {
    const std::vector<double> input = testsignals::noise(12000, 2, 25000.0, 11);
    const std::vector<double> gains = alternatingGains(31);
    GraphicEqualizer whole(48000.0, 2, family(8));
    whole.setParameters(gains.data());
    const std::vector<double> reference = run(whole, input, 12000);
    for (int blockFrames : {1, 37, 576, 5001}) {  // 5001 stereo frames exceed the initial capacity
        GraphicEqualizer eq(48000.0, 2, family(8));
        eq.setParameters(gains.data());
        EXPECT_EQ(run(eq, input, blockFrames), reference) << blockFrames;
    }
}

TEST(GraphicEqualizerTest, MaskOneLeavesTheRightChannelBitForBit) {
    GraphicEqualizer eq(44100.0, 2, family(6));
    eq.setParameters(alternatingGains(15).data());
    std::vector<double> input = testsignals::noise(8000, 2, 32000.0, 5);
    const std::vector<double> output = run(eq, input, 576, 1);
    double leftChange = 0.0;
    for (size_t i = 0; i < input.size(); i += 2) {
        EXPECT_EQ(output[i + 1], input[i + 1]);
        leftChange = std::max(leftChange, std::fabs(output[i] - input[i]));
    }
    EXPECT_GT(leftChange, 1000.0);
}

TEST(GraphicEqualizerTest, UnselectedChannelSectionsFollowTheRawInput) {
    // Right channel unselected for one block, then selected: in the first block
    // every section ran on the raw input, in the second the cascade resumes.
    const EqBandTable& table = family(5);
    const std::vector<double> gains = alternatingGains(table.bandCount);
    const std::vector<double> input = testsignals::noise(2000, 2, 20000.0, 9);
    GraphicEqualizer eq(44100.0, 2, table);
    eq.setParameters(gains.data());
    std::vector<double> output = input;
    eq.process(output.data(), output.data(), 2000, 2000, 1);
    eq.process(output.data() + 2000, output.data() + 2000, 2000, 2000, 3);

    std::vector<BiquadSection> sections;
    for (int b = 0; b < table.bandCount; ++b) {
        const double f = table.centreFrequencies[b];
        sections.push_back(b == 0 ? BiquadSection::lowShelf(f, 44100.0, gains[b])
                           : b == table.bandCount - 1
                               ? BiquadSection::highShelf(f, 44100.0, gains[b])
                               : BiquadSection::peaking(f, 44100.0, table.bandwidth, gains[b]));
    }
    std::vector<BiquadState> states(table.bandCount);
    for (int i = 0; i < 1000; ++i)
        for (int b = 0; b < table.bandCount; ++b) runSection(sections[b], states[b], input[2 * i + 1]);
    for (int i = 1000; i < 2000; ++i) {
        double x = input[2 * i + 1];
        for (int b = 0; b < table.bandCount; ++b) x = runSection(sections[b], states[b], x);
        ASSERT_NEAR(output[2 * i + 1], x, 1e-9) << i;
    }
}

TEST(GraphicEqualizerTest, ResetClearsTheSignalHistory) {
    const std::vector<double> gains = alternatingGains(10);
    const std::vector<double> input = testsignals::noise(3000, 2, 20000.0, 13);
    GraphicEqualizer fresh(44100.0, 2, family(5));
    fresh.setParameters(gains.data());
    const std::vector<double> expected = run(fresh, input, 576);

    GraphicEqualizer used(44100.0, 2, family(5));
    used.setParameters(gains.data());
    run(used, testsignals::noise(3000, 2, 20000.0, 99), 576);
    EXPECT_EQ(used.reset(), 0);
    EXPECT_EQ(run(used, input, 576), expected);
}

TEST(GraphicEqualizerTest, LongSilenceSettlesToExactZero) {
    // The decaying states are flushed before they become subnormal numbers
    // (which would slow every section down several times).
    GraphicEqualizer eq(44100.0, 1, family(8));
    eq.setParameters(alternatingGains(31).data());
    run(eq, testsignals::noise(44100, 1, 30000.0, 21), 4410, 1);
    const std::vector<double> silence(4410, 0.0);
    std::vector<double> output(4410);
    for (int block = 0; block < 300; ++block) eq.process(silence.data(), output.data(), 4410, 4410, 1);  // 30 s
    for (double y : output) ASSERT_EQ(y, 0.0);
}

TEST(GraphicEqualizerTest, ProcessingAndRedesignAllocateNothing) {
    GraphicEqualizer eq(44100.0, 2, family(8));
    std::vector<double> block = testsignals::noise(576, 2, 20000.0, 17);
    eq.process(block.data(), block.data(), 1152, 1152, 3);
    const std::vector<double> gains = alternatingGains(31);
    const long before = allocprobe::threadAllocations();
    for (int i = 0; i < 10; ++i) {
        eq.setParameters(gains.data());
        eq.process(block.data(), block.data(), 1152, 1152, i % 2 ? 1 : 3);
    }
    EXPECT_EQ(allocprobe::threadAllocations() - before, 0);
}

TEST(GraphicEqualizerTest, DescribesOneGainSliderPerBand) {
    GraphicEqualizer eq(44100.0, 2, family(8));
    ParamDescriptor descriptors[kMaxParameters];
    ASSERT_EQ(eq.describeParameters(descriptors), 31);
    EXPECT_STREQ(descriptors[0].name, "<20");
    EXPECT_STREQ(descriptors[2].name, "31.5");
    EXPECT_STREQ(descriptors[22].name, "3.1");
    EXPECT_STREQ(descriptors[30].name, ">20k");
    for (int b = 0; b < 31; ++b) {
        EXPECT_EQ(descriptors[b].max, 18.0);
        EXPECT_EQ(descriptors[b].min, -18.0);
        EXPECT_EQ(descriptors[b].defaultValue, 0.0);
    }
    EXPECT_EQ(eq.displayValue(3, -4.5), -4.5);
    EXPECT_EQ(eq.extraOutput(), 0);
}

TEST(GraphicEqualizerTest, NoEffectiveBandPassesTheInput) {
    // Below 40 Hz not even the 20 Hz band of the 31-band family is effective.
    GraphicEqualizer eq(30.0, 1, family(8));
    EXPECT_EQ(eq.effectiveBandCount(), 0);
    eq.setParameters(alternatingGains(31).data());
    const std::vector<double> input = testsignals::noise(100, 1, 1000.0, 2);
    EXPECT_EQ(run(eq, input, 64, 1), input);
}

}  // namespace

namespace {

TEST(GraphicEqualizerTest, FactoryBuildsEachFamilyWithItsPresets) {
    const int bands[] = {3, 10, 15, 20, 31};
    const int presets[] = {6, 18, 30, 14, 17};
    for (int index = kModuleFirstEqualizer; index <= kModuleLastEqualizer; ++index) {
        std::unique_ptr<EffectModule> module = createModule(index, 32000, 1);
        auto* eq = dynamic_cast<GraphicEqualizer*>(module.get());
        ASSERT_NE(eq, nullptr) << index;
        EXPECT_EQ(eq->sampleRate(), 32000.0);
        EXPECT_EQ(eq->channelCount(), 1);
        ParamDescriptor descriptors[kMaxParameters];
        EXPECT_EQ(eq->describeParameters(descriptors), bands[index - kModuleFirstEqualizer]);
        const PresetRecord* table = nullptr;
        EXPECT_EQ(eq->presets(&table), presets[index - kModuleFirstEqualizer]);
        EXPECT_EQ(eq->presetCount(), presets[index - kModuleFirstEqualizer]);
        EXPECT_EQ(table, presetTableFor(index).records);
    }
}

}  // namespace
