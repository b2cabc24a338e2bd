#include "host/sample_pipeline.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdlib>

#include "host/module_factory.h"
#include "host/display.h"
#include "host/plugin_state.h"

namespace {

constexpr int kMaxGainChannels = 64;

// Sample formats the pipeline converts. 8-bit samples are unsigned with a 128
// offset; 24-bit samples are packed signed little-endian triplets.
template <int Bits>
struct SampleFormat;

template <>
struct SampleFormat<8> {
    static double read(const unsigned char* p, int i) { return static_cast<double>(p[i]) - 128.0; }
    static void write(unsigned char* p, int i, int v) { p[i] = static_cast<unsigned char>(v + 128); }
    static int readInt(const unsigned char* p, int i) { return static_cast<int>(p[i]) - 128; }
};

template <>
struct SampleFormat<16> {
    static double read(const unsigned char* p, int i) { return reinterpret_cast<const int16_t*>(p)[i]; }
    static void write(unsigned char* p, int i, int v) { reinterpret_cast<int16_t*>(p)[i] = static_cast<int16_t>(v); }
    static int readInt(const unsigned char* p, int i) { return reinterpret_cast<const int16_t*>(p)[i]; }
};

template <>
struct SampleFormat<24> {
    static int readInt(const unsigned char* p, int i) {
        const unsigned char* s = p + 3 * i;
        const uint32_t u = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8) |
                           (static_cast<uint32_t>(s[2]) << 16);
        return static_cast<int32_t>(u << 8) >> 8;
    }
    static double read(const unsigned char* p, int i) { return readInt(p, i); }
    static void write(unsigned char* p, int i, int v) {
        unsigned char* s = p + 3 * i;
        const uint32_t u = static_cast<uint32_t>(v);
        s[0] = static_cast<unsigned char>(u);
        s[1] = static_cast<unsigned char>(u >> 8);
        s[2] = static_cast<unsigned char>(u >> 16);
    }
};

template <>
struct SampleFormat<32> {
    static double read(const unsigned char* p, int i) { return reinterpret_cast<const int32_t*>(p)[i]; }
    static void write(unsigned char* p, int i, int v) { reinterpret_cast<int32_t*>(p)[i] = v; }
    static int readInt(const unsigned char* p, int i) { return reinterpret_cast<const int32_t*>(p)[i]; }
};

bool supportedWidth(int bps) { return bps == 8 || bps == 16 || bps == 24 || bps == 32; }

double fullScale(int bps) { return std::ldexp(1.0, bps - 1); }

template <int Bits>
void convertIn(const unsigned char* __restrict samples, double* __restrict work, int n) {
    for (int i = 0; i < n; ++i) work[i] = SampleFormat<Bits>::read(samples, i);
}

// Gains the selected channels, clamps to -F..F-1 and truncates toward zero.
// The loops are written so the compiler can vectorise them.
template <int Bits>
void convertOut(const double* __restrict work, unsigned char* __restrict samples, int produced, int nch,
                const double* gains) {
    const double top = fullScale(Bits) - 1.0;
    const double bottom = -fullScale(Bits);
    auto store = [&](int i, double x) {
        // Clamping first keeps the conversion defined; a value in [F-1, F)
        // truncates to F-1 either way.
        x = x > bottom ? x : bottom;
        x = x < top ? x : top;
        SampleFormat<Bits>::write(samples, i, static_cast<int>(x));
    };
    if (nch == 1) {
        const double gain = gains[0];
        for (int i = 0; i < produced; ++i) store(i, work[i] * gain);
    } else if (nch == 2) {
        const double gainLeft = gains[0], gainRight = gains[1];
        const int frames = produced / 2;
        for (int f = 0; f < frames; ++f) {
            store(2 * f, work[2 * f] * gainLeft);
            store(2 * f + 1, work[2 * f + 1] * gainRight);
        }
        if (produced & 1) store(produced - 1, work[produced - 1] * gainLeft);
    } else {
        for (int i = 0; i < produced; ++i) store(i, work[i] * gains[i % nch]);
    }
}

// Largest absolute sample at even and at odd positions among the first count.
template <int Bits>
void measurePeaks(const unsigned char* samples, int count, double* peakEven, double* peakOdd) {
    int even = 0, odd = 0;
    int i = 0;
    for (; i + 1 < count; i += 2) {
        const int a = std::abs(SampleFormat<Bits>::readInt(samples, i));
        const int b = std::abs(SampleFormat<Bits>::readInt(samples, i + 1));
        even = a > even ? a : even;
        odd = b > odd ? b : odd;
    }
    if (i < count) {
        const int a = std::abs(SampleFormat<Bits>::readInt(samples, i));
        even = a > even ? a : even;
    }
    *peakEven = even;
    *peakOdd = odd;
}

// abs of INT32_MIN is taken as a double to stay defined.
template <>
void measurePeaks<32>(const unsigned char* samples, int count, double* peakEven, double* peakOdd) {
    const int32_t* s = reinterpret_cast<const int32_t*>(samples);
    double even = 0, odd = 0;
    for (int i = 0; i < count; ++i) {
        const double a = std::fabs(static_cast<double>(s[i]));
        double& peak = (i & 1) ? odd : even;
        peak = a > peak ? a : peak;
    }
    *peakEven = even;
    *peakOdd = odd;
}

void peaksFor(int bps, const unsigned char* samples, int count, double* left, double* right) {
    switch (bps) {
        case 8: measurePeaks<8>(samples, count, left, right); break;
        case 16: measurePeaks<16>(samples, count, left, right); break;
        case 24: measurePeaks<24>(samples, count, left, right); break;
        case 32: measurePeaks<32>(samples, count, left, right); break;
        default: *left = *right = 0.0; break;
    }
}

void updateMeters(double peakLeft, double peakRight, double scale) {
    const int left = meterLevel(peakLeft, scale);
    const int right = meterLevel(peakRight, scale);
    currentDisplay().paintMeters(left, LastLevelLeft, right, LastLevelRight);
    LastLevelLeft = left;
    LastLevelRight = right;
}

// Rebuilds the module for the block's format; returns the channel mask for
// the block: mask as read, or the mask a channel-count change sets.
int followFormat(int srate, int nch, int bps, int mask) {
    SampleRate = srate;
    // A width the pipeline hands back untouched is not followed: the next
    // supported block of the same width needs no rebuild.
    if (supportedWidth(bps)) SampleWidth = bps;
    if (nch != ChannelCount) {
        ChannelCount = nch;
        mask = nch == 1 ? 1 : 3;
        ChannelMask = mask;
        currentDisplay().layoutChannelButtons(nch);
    }
    ProcessingLock::Guard guard(ModuleLock);
    ModuleFactory(SampleRate, ChannelCount, true);
    return mask;
}

bool ensureWorkBuffer(int n) {
    const int64_t needed = 3 * static_cast<int64_t>(n);
    if (WorkBufferCapacity >= needed) return true;
    // The byte count must be addressable: on a 32-bit host a large block
    // would otherwise wrap the size and allocate too little.
    const uint64_t bytes = static_cast<uint64_t>(needed) * sizeof(double);
    if (needed > INT32_MAX || bytes > static_cast<uint64_t>(PTRDIFF_MAX)) return false;
    WorkBuffer.reset();
    WorkBufferCapacity = 0;
    WorkBuffer.reset(static_cast<double*>(std::malloc(static_cast<size_t>(bytes))));
    if (!WorkBuffer) return false;
    WorkBufferCapacity = static_cast<int>(needed);
    return true;
}

int outputCapacity(int extra, int n) {
    if (extra > n) return 2 * n;
    if (extra > 0) return n + extra;
    return n;
}

template <int Bits>
int runBlock(unsigned char* samples, int n, int nch, int mask) {
    double* work = WorkBuffer.get();
    convertIn<Bits>(samples, work, n);

    // The module may be replaced by the user-interface thread at any block:
    // it is looked at and used only under the lock.
    int produced;
    int outCapacity;
    {
        ProcessingLock::Guard guard(ModuleLock);
        if (!CurrentModule) return -1;
        outCapacity = outputCapacity(CurrentModule->extraOutput(), n);
        produced = CurrentModule->process(work, work, n, outCapacity, mask);
    }
    // The host's buffer holds at most outCapacity samples.
    if (produced > outCapacity) produced = outCapacity;
    if (produced < 0) produced = 0;

    const double gain = MasterGain;
    double gains[kMaxGainChannels];
    const int gainChannels = nch < kMaxGainChannels ? nch : kMaxGainChannels;
    for (int c = 0; c < gainChannels; ++c) gains[c] = channelSelected(c, mask) ? gain : 1.0;
    if (nch <= kMaxGainChannels) {
        convertOut<Bits>(work, samples, produced, nch, gains);
    } else {
        for (int i = 0; i < produced; ++i) {
            const double g = channelSelected(i % nch, mask) ? gain : 1.0;
            convertOut<Bits>(work + i, samples + i * (Bits / 8), 1, 1, &g);
        }
    }
    if (produced > 0) {
        double peakLeft, peakRight;
        measurePeaks<Bits>(samples, produced, &peakLeft, &peakRight);
        updateMeters(peakLeft, peakRight, fullScale(Bits));
    }
    return produced;
}

}  // namespace

int meterLevel(double peak, double scale) {
    double decibels = peak > 0 ? 20.0 * std::log10(peak / scale) : -100.0;
    if (decibels < -100.0) decibels = -100.0;
    if (decibels > 0.0) decibels = 0.0;
    return static_cast<int>(decibels + 100.0);
}

int ModifySamples(winampDSPModule* /*thisModule*/, short* samples, int numsamples, int bps, int nch, int srate) {
    unsigned char* bytes = reinterpret_cast<unsigned char*>(samples);
    if (MeterResetFlag) {
        LastLevelLeft = 0;
        LastLevelRight = 0;
        MeterResetFlag = 0;
    }
    // A block the pipeline cannot interpret is handed back as it came.
    if (!samples || numsamples < 0 || nch < 1 || srate < 1) return numsamples;

    // The mask is read once: a click on PASS during the block takes effect
    // at the next one, and a mask of 0 never reaches the module.
    int mask = ChannelMask;
    if (mask == 0) {
        double peakLeft, peakRight;
        peaksFor(bps, bytes, numsamples, &peakLeft, &peakRight);
        updateMeters(peakLeft, peakRight, supportedWidth(bps) ? fullScale(bps) : 1.0);
        return numsamples;
    }

    bool formatChanged = srate != SampleRate || nch != ChannelCount || (bps != SampleWidth && supportedWidth(bps));
    if (!formatChanged) {
        ProcessingLock::Guard guard(ModuleLock);
        formatChanged = !CurrentModule;
    }
    if (formatChanged) mask = followFormat(srate, nch, bps, mask);

    // The work buffer holds three times the block, counted in an int.
    const int64_t total = static_cast<int64_t>(numsamples) * nch;
    if (total > INT32_MAX / 3 || !ensureWorkBuffer(static_cast<int>(total))) {
        currentDisplay().showError("Memory allocation failed");
        return numsamples;
    }
    const int n = static_cast<int>(total);
    int produced;
    switch (bps) {
        case 8: produced = runBlock<8>(bytes, n, nch, mask); break;
        case 16: produced = runBlock<16>(bytes, n, nch, mask); break;
        case 24: produced = runBlock<24>(bytes, n, nch, mask); break;
        case 32: produced = runBlock<32>(bytes, n, nch, mask); break;
        default:
            updateMeters(0.0, 0.0, 1.0);
            return numsamples;
    }
    // No module (it could not be built): the block goes back as it came.
    if (produced < 0) return numsamples;
    return produced / nch;
}
