#include "host/sample_pipeline.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/effect_module.h"

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

template <int Bits>
void convertIn(const unsigned char* __restrict samples, double* __restrict work, int n) {
    for (int i = 0; i < n; ++i) work[i] = SampleFormat<Bits>::read(samples, i);
}

#if defined(__SSE2__)
// Eight 16-bit samples to a step: sign-extended to 32 bits, then converted
// two at a time (exactly, as every 16-bit value is a double).
template <>
void convertIn<16>(const unsigned char* __restrict samples, double* __restrict work, int n) {
    const int16_t* in = reinterpret_cast<const int16_t*>(samples);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_pd(work + i, _mm_cvtepi32_pd(low));
        _mm_storeu_pd(work + i + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(low, low)));
        _mm_storeu_pd(work + i + 4, _mm_cvtepi32_pd(high));
        _mm_storeu_pd(work + i + 6, _mm_cvtepi32_pd(_mm_unpackhi_epi64(high, high)));
    }
    for (; i < n; ++i) work[i] = in[i];
}
#endif

// Gains the selected channels, clamps to -F..F-1 and truncates toward zero.
// The loops are written so the compiler can vectorise them.
template <int Bits>
void convertOut(const double* __restrict work, unsigned char* __restrict samples, int produced, int nch,
                const double* gains) {
    const double top = SamplePipeline::fullScale(Bits) - 1.0;
    const double bottom = -SamplePipeline::fullScale(Bits);
    auto store = [&](int i, double x) {
        // Clamping first keeps the conversion defined; a value in [F-1, F)
        // truncates to F-1 either way.
        x = x > bottom ? x : bottom;
        x = x < top ? x : top;
        SampleFormat<Bits>::write(samples, i, static_cast<int>(x));
    };
    if (nch == 1 || (nch == 2 && gains[0] == gains[1])) {
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

// Whether any of count samples sits at either limit of the width: one
// vectorised pass, since a clamp can only leave a sample there.
template <int Bits>
bool anyAtLimit(const unsigned char* samples, int count) {
    const int top = static_cast<int>(SamplePipeline::fullScale(Bits) - 1.0);
    int hit = 0;
    for (int i = 0; i < count; ++i) {
        const int v = SampleFormat<Bits>::readInt(samples, i);
        hit |= (v == top) | (v == -top - 1);
    }
    return hit != 0;
}

template <>
bool anyAtLimit<16>(const unsigned char* samples, int count) {
    const int16_t* s = reinterpret_cast<const int16_t*>(samples);
    int16_t hit = 0;
    for (int i = 0; i < count; ++i) hit |= (s[i] == INT16_MAX) | (s[i] == INT16_MIN);
    return hit != 0;
}

template <>
bool anyAtLimit<32>(const unsigned char* samples, int count) {
    const int32_t* s = reinterpret_cast<const int32_t*>(samples);
    int32_t hit = 0;
    for (int i = 0; i < count; ++i) hit |= (s[i] == INT32_MAX) | (s[i] == INT32_MIN);
    return hit != 0;
}

// How many of the samples convertOut just wrote the clamp changed: those
// whose gained value truncates outside the width, and NaN. Only blocks with
// a sample at a limit are looked at closely.
template <int Bits>
int countClamped(const double* work, const unsigned char* samples, int produced, int nch, const double* gains) {
    if (!anyAtLimit<Bits>(samples, produced)) return 0;
    const double top = SamplePipeline::fullScale(Bits) - 1.0;
    const double bottom = -SamplePipeline::fullScale(Bits);
    int clamped = 0;
    for (int i = 0; i < produced; ++i) {
        const int v = SampleFormat<Bits>::readInt(samples, i);
        if (v != static_cast<int>(top) && v != static_cast<int>(bottom)) continue;
        const double x = work[i] * gains[i % nch];
        clamped += !(x > bottom - 1.0 && x < top + 1.0);
    }
    return clamped;
}

// Largest absolute sample at even and at odd positions among the first count.
// The extremes are kept per lane of kPeakLanes samples (a loop the compiler
// vectorises); even lanes hold even positions, odd lanes odd ones.
template <int Bits, typename Lane = int>
void measurePeaks(const unsigned char* samples, int count, double* peakEven, double* peakOdd) {
    constexpr int kPeakLanes = 8;
    Lane highest[kPeakLanes] = {}, lowest[kPeakLanes] = {};
    int i = 0;
    for (; i + kPeakLanes <= count; i += kPeakLanes) {
        for (int k = 0; k < kPeakLanes; ++k) {
            const Lane v = static_cast<Lane>(SampleFormat<Bits>::readInt(samples, i + k));
            highest[k] = v > highest[k] ? v : highest[k];
            lowest[k] = v < lowest[k] ? v : lowest[k];
        }
    }
    for (int k = 0; i < count; ++i, ++k) {
        const Lane v = static_cast<Lane>(SampleFormat<Bits>::readInt(samples, i));
        highest[k] = v > highest[k] ? v : highest[k];
        lowest[k] = v < lowest[k] ? v : lowest[k];
    }
    int even = 0, odd = 0;
    for (int k = 0; k < kPeakLanes; ++k) {
        const int peak = highest[k] > -lowest[k] ? highest[k] : -static_cast<int>(lowest[k]);
        int& side = (k & 1) ? odd : even;
        side = peak > side ? peak : side;
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
        case 16: measurePeaks<16, int16_t>(samples, count, left, right); break;
        case 24: measurePeaks<24>(samples, count, left, right); break;
        case 32: measurePeaks<32>(samples, count, left, right); break;
        default: *left = *right = 0.0; break;
    }
}

#if defined(__SSE2__)
// convertOut for the 16- and 32-bit widths, two samples to a register that
// holds an even and an odd position, gained by gainEven and gainOdd. maxpd and minpd
// return their first operand when the comparison holds and the second
// otherwise, which is the choice of convertOut's ternaries (NaN goes to the
// bottom). The pass also notes whether any sample came out at a limit, so
// that countClamped reads the block again only when one did.
template <int Bits>
struct PackedStore;

template <>
struct PackedStore<16> {
    // Eight samples from two registers of four clamped values; marks in hit
    // the lanes at either limit.
    static void store8(unsigned char* samples, int i, __m128i a, __m128i b, __m128i* hit) {
        const __m128i v = _mm_packs_epi32(a, b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(reinterpret_cast<int16_t*>(samples) + i), v);
        const __m128i top = _mm_set1_epi16(INT16_MAX), bottom = _mm_set1_epi16(INT16_MIN);
        *hit = _mm_or_si128(*hit, _mm_or_si128(_mm_cmpeq_epi16(v, top), _mm_cmpeq_epi16(v, bottom)));
    }
};

template <>
struct PackedStore<32> {
    static void store8(unsigned char* samples, int i, __m128i a, __m128i b, __m128i* hit) {
        int32_t* out = reinterpret_cast<int32_t*>(samples) + i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), b);
        const __m128i top = _mm_set1_epi32(INT32_MAX), bottom = _mm_set1_epi32(INT32_MIN);
        const __m128i atA = _mm_or_si128(_mm_cmpeq_epi32(a, top), _mm_cmpeq_epi32(a, bottom));
        const __m128i atB = _mm_or_si128(_mm_cmpeq_epi32(b, top), _mm_cmpeq_epi32(b, bottom));
        *hit = _mm_or_si128(*hit, _mm_or_si128(atA, atB));
    }
};

// Returns whether any sample written sits at a limit.
template <int Bits>
bool convertOutPaired(const double* work, unsigned char* samples, int produced, double gainEven, double gainOdd) {
    const double top = SamplePipeline::fullScale(Bits) - 1.0;
    const double bottom = -SamplePipeline::fullScale(Bits);
    const __m128d gains = _mm_setr_pd(gainEven, gainOdd);
    const __m128d high = _mm_set1_pd(top), low = _mm_set1_pd(bottom);
    auto clampPair = [&](const double* from) {
        const __m128d x = _mm_mul_pd(_mm_loadu_pd(from), gains);
        return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(x, low), high));
    };
    __m128i hit = _mm_setzero_si128();
    int i = 0;
    for (; i + 8 <= produced; i += 8) {
        const __m128i a = _mm_unpacklo_epi64(clampPair(work + i), clampPair(work + i + 2));
        const __m128i b = _mm_unpacklo_epi64(clampPair(work + i + 4), clampPair(work + i + 6));
        PackedStore<Bits>::store8(samples, i, a, b, &hit);
    }
    bool atLimit = _mm_movemask_epi8(hit) != 0;
    // The rest one at a time; i is even here.
    const double tailGains[2] = {gainEven, gainOdd};
    for (; i < produced; ++i) {
        double x = work[i] * tailGains[i & 1];
        x = x > bottom ? x : bottom;
        x = x < top ? x : top;
        atLimit |= x == top || x == bottom;
        SampleFormat<Bits>::write(samples, i, static_cast<int>(x));
    }
    return atLimit;
}

// Whether the gains repeat every two samples, and which pair they make.
bool gainsInPairs(const double* gains, int nch, double* even, double* odd) {
    if (nch == 1 || nch == 2) {
        *even = gains[0];
        *odd = gains[nch - 1];
        return true;
    }
    for (int c = 1; c < nch; ++c) {
        if (gains[c] != gains[0]) return false;
    }
    *even = *odd = gains[0];
    return true;
}
#endif

template <int Bits>
int convertOutMasked(const double* work, unsigned char* samples, int produced, int nch, int mask, double gain) {
    double gains[kMaxGainChannels];
    const int gainChannels = nch < kMaxGainChannels ? nch : kMaxGainChannels;
    for (int c = 0; c < gainChannels; ++c) gains[c] = channelSelected(c, mask) ? gain : 1.0;
#if defined(__SSE2__)
    if constexpr (Bits == 16 || Bits == 32) {
        double even, odd;
        if (nch >= 1 && nch <= kMaxGainChannels && gainsInPairs(gains, nch, &even, &odd)) {
            if (!convertOutPaired<Bits>(work, samples, produced, even, odd)) return 0;
            return countClamped<Bits>(work, samples, produced, nch, gains);
        }
    }
#endif
    if (nch <= kMaxGainChannels) {
        convertOut<Bits>(work, samples, produced, nch, gains);
        return countClamped<Bits>(work, samples, produced, nch, gains);
    }
    int clamped = 0;
    for (int i = 0; i < produced; ++i) {
        const double g = channelSelected(i % nch, mask) ? gain : 1.0;
        convertOut<Bits>(work + i, samples + i * (Bits / 8), 1, 1, &g);
        clamped += countClamped<Bits>(work + i, samples + i * (Bits / 8), 1, 1, &g);
    }
    return clamped;
}

}  // namespace

double SamplePipeline::fullScale(int bps) { return std::ldexp(1.0, bps - 1); }

bool SamplePipeline::reserve(int n) {
    const int64_t needed = 3 * static_cast<int64_t>(n);
    if (capacity_ >= needed) return true;
    // The byte count must be addressable: on a 32-bit host a large block
    // would otherwise wrap the size and allocate too little.
    const uint64_t bytes = static_cast<uint64_t>(needed) * sizeof(double);
    if (needed > INT32_MAX || bytes > static_cast<uint64_t>(PTRDIFF_MAX)) return false;
    work_.reset();
    capacity_ = 0;
    work_.reset(static_cast<double*>(std::malloc(static_cast<size_t>(bytes))));
    if (!work_) return false;
    capacity_ = static_cast<int>(needed);
    return true;
}

void SamplePipeline::release() {
    work_.reset();
    capacity_ = 0;
}

void SamplePipeline::convertIn(int bps, const unsigned char* samples, int n) {
    switch (bps) {
        case 8: ::convertIn<8>(samples, work_.get(), n); break;
        case 16: ::convertIn<16>(samples, work_.get(), n); break;
        case 24: ::convertIn<24>(samples, work_.get(), n); break;
        case 32: ::convertIn<32>(samples, work_.get(), n); break;
        default: break;
    }
}

void SamplePipeline::convertOut(int bps, unsigned char* samples, int produced, int nch, int mask, double gain) {
    switch (bps) {
        case 8: clamped_ += convertOutMasked<8>(work_.get(), samples, produced, nch, mask, gain); break;
        case 16: clamped_ += convertOutMasked<16>(work_.get(), samples, produced, nch, mask, gain); break;
        case 24: clamped_ += convertOutMasked<24>(work_.get(), samples, produced, nch, mask, gain); break;
        case 32: clamped_ += convertOutMasked<32>(work_.get(), samples, produced, nch, mask, gain); break;
        default: break;
    }
}

void SamplePipeline::peaks(int bps, const unsigned char* samples, int count, double* left, double* right) {
    peaksFor(bps, samples, count, left, right);
}

int meterLevel(double peak, double scale) {
    double decibels = peak > 0 ? 20.0 * std::log10(peak / scale) : -100.0;
    if (decibels < -100.0) decibels = -100.0;
    if (decibels > 0.0) decibels = 0.0;
    return static_cast<int>(decibels + 100.0);
}
