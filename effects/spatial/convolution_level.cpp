#include "effects/spatial/convolution_level.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && !defined(_WIN32)
#include <immintrin.h>
#define MORV_PRODUCT_AVX 1
#endif

namespace {

// The bins are summed a stretch at a time, every partition's product added
// into the stretch before the next: the stretch of sums, and the stretches of
// the spectra and windows that a batch reads several times, stay in the first
// cache level, and each bin still adds the partitions in the same order.
constexpr int kStretchBins = 64;
// Partitions whose products one pass over a stretch adds up in registers.
constexpr int kGroup = 4;

// One pass over the bins [first, last) of a stretch, in the split layout (real
// parts from 0, imaginary parts from half on, see splitSpectrum): sum = the
// products s[g] x w[g] for g = 0 .. count - 1, each added to the sum of those
// before it, the first to from (or to nothing when from is null; from may be
// sum). Each product rounds as re = sr wr - si wi, im = sr wi + si wr, and
// each sum as product + sum, on every path. With packed, the last pass of a
// sum writes it there in the PackedSpectrum layout instead (bin k at
// 2k - 1 and 2k: bin 0 writes one element ahead of packed, which its owner
// keeps spare).
void accumulateProducts(const double* const* s, const double* const* w, int count, const double* from, double* sum,
                        double* packed, int first, int last, int half) {
    int i = first;
#if defined(__SSE2__)
    for (; i + 1 < last; i += 2) {
        __m128d re = _mm_setzero_pd(), im = _mm_setzero_pd();
        if (from) {
            re = _mm_loadu_pd(from + i);
            im = _mm_loadu_pd(from + half + i);
        }
        for (int g = 0; g < count; ++g) {
            const __m128d sr = _mm_loadu_pd(s[g] + i), si = _mm_loadu_pd(s[g] + half + i);
            const __m128d wr = _mm_loadu_pd(w[g] + i), wi = _mm_loadu_pd(w[g] + half + i);
            const __m128d pr = _mm_sub_pd(_mm_mul_pd(sr, wr), _mm_mul_pd(si, wi));
            const __m128d pi = _mm_add_pd(_mm_mul_pd(sr, wi), _mm_mul_pd(si, wr));
            const bool start = g == 0 && !from;
            re = start ? pr : _mm_add_pd(pr, re);
            im = start ? pi : _mm_add_pd(pi, im);
        }
        if (packed) {
            _mm_storeu_pd(packed + 2 * i - 1, _mm_unpacklo_pd(re, im));
            _mm_storeu_pd(packed + 2 * i + 1, _mm_unpackhi_pd(re, im));
        } else {
            _mm_storeu_pd(sum + i, re);
            _mm_storeu_pd(sum + half + i, im);
        }
    }
#endif
    for (; i < last; ++i) {
        double re = from ? from[i] : 0.0, im = from ? from[half + i] : 0.0;
        for (int g = 0; g < count; ++g) {
            const double sr = s[g][i], si = s[g][half + i], wr = w[g][i], wi = w[g][half + i];
            const double pr = sr * wr - si * wi;
            const double pi = sr * wi + si * wr;
            const bool start = g == 0 && !from;
            re = start ? pr : pr + re;
            im = start ? pi : pi + im;
        }
        if (packed) {
            packed[2 * i - 1] = re;
            packed[2 * i] = im;
        } else {
            sum[i] = re;
            sum[half + i] = im;
        }
    }
}

#if defined(MORV_PRODUCT_AVX)
// Four bins at a time; AVX alone has no multiply-add, so each lane rounds as
// the two-lane version does.
__attribute__((target("avx"))) void accumulateProductsAvx(const double* const* s, const double* const* w, int count,
                                                          const double* from, double* sum, double* packed, int first,
                                                          int last, int half) {
    int i = first;
    for (; i + 3 < last; i += 4) {
        __m256d re = _mm256_setzero_pd(), im = _mm256_setzero_pd();
        if (from) {
            re = _mm256_loadu_pd(from + i);
            im = _mm256_loadu_pd(from + half + i);
        }
        for (int g = 0; g < count; ++g) {
            const __m256d sr = _mm256_loadu_pd(s[g] + i), si = _mm256_loadu_pd(s[g] + half + i);
            const __m256d wr = _mm256_loadu_pd(w[g] + i), wi = _mm256_loadu_pd(w[g] + half + i);
            const __m256d pr = _mm256_sub_pd(_mm256_mul_pd(sr, wr), _mm256_mul_pd(si, wi));
            const __m256d pi = _mm256_add_pd(_mm256_mul_pd(sr, wi), _mm256_mul_pd(si, wr));
            const bool start = g == 0 && !from;
            re = start ? pr : _mm256_add_pd(pr, re);
            im = start ? pi : _mm256_add_pd(pi, im);
        }
        if (packed) {
            const __m256d low = _mm256_unpacklo_pd(re, im);   // bins i and i + 2
            const __m256d high = _mm256_unpackhi_pd(re, im);  // bins i + 1 and i + 3
            _mm256_storeu_pd(packed + 2 * i - 1, _mm256_permute2f128_pd(low, high, 0x20));
            _mm256_storeu_pd(packed + 2 * i + 3, _mm256_permute2f128_pd(low, high, 0x31));
        } else {
            _mm256_storeu_pd(sum + i, re);
            _mm256_storeu_pd(sum + half + i, im);
        }
    }
    accumulateProducts(s, w, count, from, sum, packed, i, last, half);
}

bool processorHasAvx() {
    static const bool available = __builtin_cpu_supports("avx");
    return available;
}
#endif

using AccumulateProducts = void (*)(const double* const*, const double* const*, int, const double*, double*, double*,
                                    int, int, int);

AccumulateProducts chooseAccumulateProducts() {
#if defined(MORV_PRODUCT_AVX)
    return processorHasAvx() ? accumulateProductsAvx : accumulateProducts;
#else
    return accumulateProducts;
#endif
}

// out = s x w in the PackedSpectrum layout, for the complex pairs (2k - 1, 2k)
// in [first, last); each product rounds as in accumulateProducts.
void multiplyPairs(const double* s, const double* w, double* out, int first, int last) {
    int i = first;
#if defined(__SSE2__)
    const __m128d negateReal = _mm_castsi128_pd(_mm_set_epi64x(0, static_cast<long long>(0x8000000000000000ULL)));
    for (; i + 1 < last; i += 2) {
        const __m128d sv = _mm_loadu_pd(s + i);
        const __m128d wv = _mm_loadu_pd(w + i);
        const __m128d a = _mm_mul_pd(_mm_unpacklo_pd(sv, sv), wv);
        const __m128d b = _mm_mul_pd(_mm_unpackhi_pd(sv, sv), _mm_shuffle_pd(wv, wv, 1));
        _mm_storeu_pd(out + i, _mm_add_pd(a, _mm_xor_pd(b, negateReal)));
    }
#endif
    for (; i + 1 < last; i += 2) {
        const double re = s[i] * w[i] - s[i + 1] * w[i + 1];
        const double im = s[i] * w[i + 1] + s[i + 1] * w[i];
        out[i] = re;
        out[i + 1] = im;
    }
}

#if defined(MORV_PRODUCT_AVX)
__attribute__((target("avx"))) void multiplyPairsAvx(const double* s, const double* w, double* out, int first,
                                                     int last) {
    int i = first;
    for (; i + 3 < last; i += 4) {
        const __m256d sv = _mm256_loadu_pd(s + i);
        const __m256d wv = _mm256_loadu_pd(w + i);
        const __m256d a = _mm256_mul_pd(_mm256_movedup_pd(sv), wv);
        const __m256d b = _mm256_mul_pd(_mm256_permute_pd(sv, 0xF), _mm256_permute_pd(wv, 0x5));
        _mm256_storeu_pd(out + i, _mm256_addsub_pd(a, b));
    }
    multiplyPairs(s, w, out, i, last);
}
#endif

// The product of two spectra in the PackedSpectrum layout of n elements.
void multiplyPacked(const double* s, const double* w, double* out, int n) {
    out[0] = s[0] * w[0];
    out[n - 1] = s[n - 1] * w[n - 1];
#if defined(MORV_PRODUCT_AVX)
    if (processorHasAvx()) {
        multiplyPairsAvx(s, w, out, 1, n - 1);
        return;
    }
#endif
    multiplyPairs(s, w, out, 1, n - 1);
}

// PackedSpectrum (0 Hz, then re, im of each bin, then the half-rate value) to
// the split layout: real parts of bins 0 .. N/2 - 1 from 0, then, from
// half = ConvolutionLevel::imaginaryOffset, the half-rate value and the
// imaginary parts of bins 1 .. N/2 - 1. Bin 0 and the half-rate value sit
// where a complex bin 0 would have its parts; the products treat them as one
// and their own real chains overwrite them.
void splitSpectrum(const double* packed, double* split, int n) {
    const int half = ConvolutionLevel::imaginaryOffset(n / 2);
    split[0] = packed[0];
    split[half] = packed[n - 1];
    int k = 1;
#if defined(__SSE2__)
    for (; k + 1 < n / 2; k += 2) {
        const __m128d a = _mm_loadu_pd(packed + 2 * k - 1);
        const __m128d b = _mm_loadu_pd(packed + 2 * k + 1);
        _mm_storeu_pd(split + k, _mm_unpacklo_pd(a, b));
        _mm_storeu_pd(split + half + k, _mm_unpackhi_pd(a, b));
    }
#endif
    for (; k < n / 2; ++k) {
        split[k] = packed[2 * k - 1];
        split[half + k] = packed[2 * k];
    }
}

void packSpectrum(const double* split, double* packed, int n) {
    const int half = ConvolutionLevel::imaginaryOffset(n / 2);
    packed[0] = split[0];
    packed[n - 1] = split[half];
    int k = 1;
#if defined(__SSE2__)
    for (; k + 1 < n / 2; k += 2) {
        const __m128d re = _mm_loadu_pd(split + k);
        const __m128d im = _mm_loadu_pd(split + half + k);
        _mm_storeu_pd(packed + 2 * k - 1, _mm_unpacklo_pd(re, im));
        _mm_storeu_pd(packed + 2 * k + 1, _mm_unpackhi_pd(re, im));
    }
#endif
    for (; k < n / 2; ++k) {
        packed[2 * k - 1] = split[k];
        packed[2 * k] = split[half + k];
    }
}

}  // namespace

ConvolutionLevel::ConvolutionLevel(int blockLength, int offset, int historySlots)
    : fft_(2 * blockLength),
      block_(blockLength),
      length_(2 * blockLength),
      offset_(offset),
      stride_(spectrumStride(blockLength)),
      history_(static_cast<size_t>(historySlots) * spectrumStride(blockLength), 0.0),
      slots_(historySlots),
      blocks_(static_cast<size_t>(3 * blockLength), 0.0),
      product_(static_cast<size_t>(2 * blockLength + kSpare), 0.0),
      sum_(static_cast<size_t>(spectrumStride(blockLength)), 0.0),
      partials_(static_cast<size_t>(kBatch - 1) * spectrumStride(blockLength), 0.0) {}

// Each partition is transformed in the spare spectrum after the last and
// split into its own.
int ConvolutionLevel::transformPartitions(RealFft& transform, int blockLength, const double* samples, int count,
                                          std::vector<double>& spectra) {
    const int length = 2 * blockLength;
    const size_t stride = spectrumStride(blockLength);
    const int partitions = count > 0 ? (count + blockLength - 1) / blockLength : 0;
    const size_t needed = (partitions + 1) * stride;
    if (spectra.size() < needed) spectra.resize(needed);
    double* work = spectra.data() + partitions * stride;
    for (int k = 0; k < partitions; ++k) {
        const int first = k * blockLength;
        const int taken = std::min(count - first, blockLength);
        std::copy(samples + first, samples + first + taken, work);
        std::fill(work + taken, work + length, 0.0);
        transform.forward(work);
        splitSpectrum(work, spectra.data() + k * stride, length);
    }
    return partitions;
}

int ConvolutionLevel::silentPartitions(int blockLength, const double* samples, int count) {
    int first = 0;
    while (first < count && samples[first] == 0.0) ++first;
    return first / blockLength;
}

void ConvolutionLevel::swapResponse(std::vector<double>& spectra, int partitions, int silent,
                                    std::vector<double>& grown) {
    spectra_.swap(spectra);
    partitions_ = partitions;
    silent_ = std::min(silent, partitions);
    phase_ = 0;
    growHistory(partitions_, grown);
}

// A longer history keeps the window spectra it has, newest last.
void ConvolutionLevel::growHistory(int slots, std::vector<double>& grown) {
    if (slots <= slots_) return;
    for (int age = 0; age < slots_; ++age) {
        const double* from = history(age);
        std::copy(from, from + stride_, grown.begin() + static_cast<size_t>(slots_ - 1 - age) * stride_);
    }
    history_.swap(grown);
    newest_ = slots_ - 1;
    slots_ = slots;
}

void ConvolutionLevel::clear() {
    std::fill(history_.begin(), history_.end(), 0.0);
    std::fill(blocks_.begin(), blocks_.end(), 0.0);
    std::fill(product_.begin(), product_.end(), 0.0);
    filled_ = 0;
    filling_ = 0;
    stepBlock_ = 0;
    phase_ = 0;
    packedSlots_ = 0;
}

bool ConvolutionLevel::push(const double* samples, int count) {
    std::memcpy(blocks_.data() + static_cast<size_t>(filling_) * block_ + filled_, samples, sizeof(double) * count);
    filled_ += count;
    if (filled_ < block_) return false;
    filled_ = 0;
    filling_ = (filling_ + 1) % 3;
    return true;
}

// The window's spectrum joins the history; the output spectrum is the sum of
// the products of every partition with its window, from the last partition
// (the oldest window) to the first (the newest), which is the order in which
// a chain of accumulators passed down one partition per step would add them.
void ConvolutionLevel::step() {
    newest_ = (newest_ + 1) % slots_;
    if (partitions_ == 1 && silent_ == 0) {
        stepSingle();
        return;
    }
    if (packedSlots_ > 0) splitPackedHistory();
    double* window = work();
    const double* older = blocks_.data() + static_cast<size_t>((stepBlock_ + 2) % 3) * block_;
    const double* newer = blocks_.data() + static_cast<size_t>(stepBlock_) * block_;
    std::copy(older, older + block_, window);
    std::copy(newer, newer + block_, window + block_);
    fft_.forward(window);
    splitSpectrum(window, history(0), length_);
    if (partitions_ == silent_) {
        std::fill(product_.begin(), product_.end(), 0.0);
        phase_ = 0;
        return;
    }
    double* sum = sum_.data();
    if (phase_ == 0) {
        sumBatch(sum, work());
    } else {
        finishPartial(sum, work());
    }
    phase_ = (phase_ + 1) % std::min(kBatch, partitions_);
    fft_.inverse(work());
}

// With one partition the window's spectrum stays packed in the history, and
// the product needs neither the split layout nor its packing: the partition's
// packed spectrum is the spare one that transformPartitions left after it.
// The packed windows are split once a longer response needs them.
void ConvolutionLevel::stepSingle() {
    double* newest = history(0);
    const double* older = blocks_.data() + static_cast<size_t>((stepBlock_ + 2) % 3) * block_;
    const double* newer = blocks_.data() + static_cast<size_t>(stepBlock_) * block_;
    std::copy(older, older + block_, newest);
    std::copy(newer, newer + block_, newest + block_);
    fft_.forward(newest);
    packedSlots_ = std::min(packedSlots_ + 1, slots_);
    multiplyPacked(spectrum(1), newest, work(), length_);
    phase_ = 0;
    fft_.inverse(work());
}

// The windows before this step's that stepSingle left packed (the slot this
// step fills is written anew).
void ConvolutionLevel::splitPackedHistory() {
    for (int age = 1; age <= std::min(packedSlots_, slots_ - 1); ++age) {
        double* slot = history(age);
        std::copy(slot, slot + length_, work());
        splitSpectrum(work(), slot, length_);
    }
    packedSlots_ = 0;
}

// The steps are taken in batches of kBatch (fewer when there are fewer
// partitions). The batch's first step sums its own output and, for each
// later step d of the batch, the products of partitions d and beyond, whose
// windows are already known: window j meets partition k at step j + k, so
// partition k and the windows it meets over the batch are read once for D
// outputs. The sums for later steps go from the last partition down, as a
// step's own does, so each output is the same to the bit. Leading silent
// partitions add nothing and are left out. The step's own sum goes to packed.
void ConvolutionLevel::sumBatch(double* sum, double* packed) {
    const int last = partitions_ - 1;
    const int bins = block_;
    const int half = imaginaryOffset(block_);
    const int batch = std::min(kBatch, partitions_);
    double* targets[kBatch] = {sum};
    for (int d = 1; d < batch; ++d) targets[d] = partial(d);
    const AccumulateProducts accumulate = chooseAccumulateProducts();
    const double* s[kGroup];
    const double* w[kGroup];
    for (int first = 0; first < bins; first += kStretchBins) {
        const int end = std::min(first + kStretchBins, bins);
        for (int top = last; top >= silent_; top -= kGroup) {
            for (int d = 0; d < batch && d <= top; ++d) {
                const int low = std::max(d, silent_);
                const int count = std::min(kGroup, top - low + 1);
                for (int g = 0; g < count; ++g) {
                    s[g] = spectrum(top - g);
                    w[g] = history(top - g - d);
                }
                double* out = d == 0 && top - count < low ? packed : nullptr;
                accumulate(s, w, count, top != last ? targets[d] : nullptr, targets[d], out, first, end, half);
            }
        }
    }
    // Elements 0 and half hold the real values at 0 Hz and half the rate.
    for (int d = 0; d < batch; ++d) {
        double* t = targets[d];
        for (int e : {0, half}) {
            t[e] = spectrum(last)[e] * history(last - d)[e];
            for (int k = last - 1; k >= std::max(d, silent_); --k) {
                t[e] = spectrum(k)[e] * history(k - d)[e] + t[e];
            }
        }
    }
    packed[0] = sum[0];
    packed[length_ - 1] = sum[half];
}

// Step d of a batch: the products of partitions d - 1 down to 0 (but the
// silent ones), with the windows of this step and the d - 1 before it, added
// to the batch's sum, into packed.
void ConvolutionLevel::finishPartial(double* sum, double* packed) {
    const int half = imaginaryOffset(block_);
    const double* from = partial(phase_);
    const AccumulateProducts accumulate = chooseAccumulateProducts();
    const double* s[kGroup];
    const double* w[kGroup];
    if (phase_ <= silent_) packSpectrum(from, packed, length_);
    for (int top = phase_ - 1; top >= silent_; top -= kGroup) {
        const int count = std::min(kGroup, top - silent_ + 1);
        for (int g = 0; g < count; ++g) {
            s[g] = spectrum(top - g);
            w[g] = history(top - g);
        }
        double* out = top - count < silent_ ? packed : nullptr;
        accumulate(s, w, count, top == phase_ - 1 ? from : sum, sum, out, 0, block_, half);
    }
    for (int e : {0, half}) {
        sum[e] = from[e];
        for (int k = phase_ - 1; k >= silent_; --k) sum[e] = spectrum(k)[e] * history(k)[e] + sum[e];
    }
    packed[0] = sum[0];
    packed[length_ - 1] = sum[half];
}
