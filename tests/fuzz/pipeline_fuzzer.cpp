// The sample pipeline fed whatever the player and the control window can
// cause: the input decodes into a sequence of steps (blocks of any shape,
// module builds 0..18, parameter values anywhere, presets, "Snap Noise",
// channel masks, gains, stored settings words) run in the order given.
// Besides the sanitizers' reports it stops on a block that comes back longer
// than the player's buffer, a bypassed or unreadable block that was touched,
// or a module output that is not a finite number.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include "host/engine.h"
#include "tests/support/control_window_moves.h"

namespace {

// One engine for the whole process, reset between inputs.
Engine engine;

constexpr int kMaxFrames = 4096;
constexpr int kMaxChannels = 8;
const int kWidths[] = {8, 16, 24, 32, 0, 1, 12, 20, 31, 64};
const int kRates[] = {1, 2, 3, 7, 100, 1000, 8000, 11025, 22050, 32000, 44100, 44101, 48000, 88200, 96000, 192000};

void check(bool condition) {
    if (!condition) std::abort();
}

int bytesPerSample(int bps) { return bps == 8 || bps == 16 || bps == 24 || bps == 32 ? bps / 8 : 4; }

// Sample i of a test signal at the host's width, as little-endian bytes.
void fillSignal(FuzzedDataProvider& in, unsigned char* bytes, int samples, int width) {
    const int kind = in.ConsumeIntegralInRange(0, 4);
    const int shift = in.ConsumeIntegralInRange(0, 31);
    uint32_t state = in.ConsumeIntegral<uint32_t>();
    for (int i = 0; i < samples; ++i) {
        uint32_t v = 0;
        switch (kind) {
            case 0: v = 0; break;
            case 1: state = state * 214013u + 2531011u; v = state >> shift; break;      // noise
            case 2: v = (i / 2) % 2 ? 0x7FFFFFFFu : 0x80000000u; break;                  // full-scale square
            case 3: v = i == samples / 3 ? 0x7FFFFFFFu : 0; break;                       // one click
            default: v = static_cast<uint32_t>(std::lround(std::sin(i * 0.01) * 2e9)) >> shift; break;
        }
        // The top bytes of the 32-bit value carry the sample at any width.
        for (int b = 0; b < width; ++b) bytes[i * width + b] = static_cast<unsigned char>(v >> (8 * (4 - width + b)));
    }
}

void runBlock(FuzzedDataProvider& in) {
    // Mostly short blocks, which keep the runs fast; now and then up to 4096.
    const int frames = in.ConsumeIntegralInRange(0, 7) ? in.ConsumeIntegralInRange(0, 300) : in.ConsumeIntegralInRange(0, kMaxFrames);
    const int bps = in.ConsumeBool() ? in.PickValueInArray(kWidths) : in.ConsumeIntegralInRange(-8, 72);
    const int nch = in.ConsumeIntegralInRange(1, kMaxChannels);
    const int srate = in.ConsumeBool() ? in.PickValueInArray(kRates) : in.ConsumeIntegralInRange(1, 192000);
    const int width = bytesPerSample(bps);
    // The player's buffer has room for twice the frames, and not a byte more.
    const size_t bytes = static_cast<size_t>(2) * frames * nch * width;
    std::vector<unsigned char> block(bytes ? bytes : 1);
    fillSignal(in, block.data(), frames * nch, width);
    const std::vector<unsigned char> input(block);
    const int mask = engine.channelMask();
    const bool supported = bps == 8 || bps == 16 || bps == 24 || bps == 32;

    const int produced = engine.modifySamples(reinterpret_cast<short*>(block.data()), frames, bps, nch, srate);

    check(produced >= 0 && produced <= 2 * frames);
    if (mask == 0 || !supported) {
        check(produced == frames && block == input);
        return;
    }
    const double* out = engine.lastOutput();
    for (int i = 0; i < produced * nch; ++i) check(std::isfinite(out[i]));
}

double anyValue(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: return std::numeric_limits<double>::quiet_NaN();
        case 1: return std::numeric_limits<double>::infinity();
        case 2: return -std::numeric_limits<double>::infinity();
        case 3: return std::numeric_limits<double>::max();
        case 4: return -std::numeric_limits<double>::denorm_min();
        case 5: return in.ConsumeFloatingPointInRange(-200.0, 200.0);
        default: return in.ConsumeFloatingPoint<double>();
    }
}

// Values anywhere: stored settings and presets are not held to the ranges
// of the sliders.
void setValues(FuzzedDataProvider& in) {
    const int count = engine.parameterCount();
    for (int k = 0; k < count; ++k) engine.setParameterValue(k, anyValue(in));
}

void moveSliders(FuzzedDataProvider& in) {
    int positions[kMaxParameters];
    for (int& p : positions) p = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 6000) : in.ConsumeIntegral<int>();
    controlwindow::moveParameters(engine, positions, kMaxParameters);
}

void storeWordsAndRestore(FuzzedDataProvider& in) {
    for (int w = 0; w < kSettingsPresetWord; ++w) engine.setSettingsWord(w, in.ConsumeIntegral<int>());
    engine.setPresetIndex(in.ConsumeIntegralInRange(-2, 40));
    engine.setRestoreState(kRestoreLoaded);
    engine.restoreSettings();
}

}  // namespace

// The reverb seeds its random tail from the clock's second. A fixed clock
// makes a saved input replay as it ran when it was found.
extern "C" time_t time(time_t* when) {
    constexpr time_t kFixedSecond = 1700000000;
    if (when) *when = kFixedSecond;
    return kFixedSecond;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    engine.reset();
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 11)) {
            case 0:
            case 1: runBlock(in); break;
            case 2: controlwindow::buildModule(engine, in.ConsumeIntegralInRange(0, kModuleNameCount - 1), in.ConsumeBool()); break;
            case 3: controlwindow::pickModule(engine, in.ConsumeIntegralInRange(-1, kModuleNameCount)); break;
            case 4: setValues(in); break;
            case 5: moveSliders(in); break;
            case 6: controlwindow::choosePresetEntry(engine, in.ConsumeIntegralInRange(-1, 40)); break;
            case 7: engine.snapNoise(); break;
            case 8: engine.setChannelMask(in.ConsumeIntegralInRange(0, 3)); break;
            case 9: controlwindow::moveGain(engine, in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 6000) : in.ConsumeIntegral<int>()); break;
            case 10: storeWordsAndRestore(in); break;
            default: controlwindow::timerTick(engine); break;
        }
    }
    // Every run ends with its module released, so libFuzzer never mistakes
    // the module kept between runs for a leak and runs it again.
    engine.reset();
    return 0;
}
