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
// into the stretch before the next: the stretch of sums stays in the first
// cache level, and each bin still adds the partitions in the same order.
constexpr int kStretch = 256;

// sum = s x w (+ sum when accumulate), for the complex pairs (2k - 1, 2k) of
// the packed layout in [first, last). Written out lane by lane, the products
// round exactly as re = sr wr - si wi, im = sr wi + si wr do.
void productPairs(const double* s, const double* w, double* sum, int first, int last, bool accumulate) {
    int i = first;
#if defined(__SSE2__)
    const __m128d negateReal = _mm_castsi128_pd(_mm_set_epi64x(0, static_cast<long long>(0x8000000000000000ULL)));
    for (; i + 1 < last; i += 2) {
        const __m128d sv = _mm_loadu_pd(s + i);
        const __m128d wv = _mm_loadu_pd(w + i);
        const __m128d a = _mm_mul_pd(_mm_unpacklo_pd(sv, sv), wv);
        const __m128d b = _mm_mul_pd(_mm_unpackhi_pd(sv, sv), _mm_shuffle_pd(wv, wv, 1));
        __m128d product = _mm_add_pd(a, _mm_xor_pd(b, negateReal));
        if (accumulate) product = _mm_add_pd(product, _mm_loadu_pd(sum + i));
        _mm_storeu_pd(sum + i, product);
    }
#endif
    for (; i + 1 < last; i += 2) {
        const double re = s[i] * w[i] - s[i + 1] * w[i + 1];
        const double im = s[i] * w[i + 1] + s[i + 1] * w[i];
        sum[i] = accumulate ? re + sum[i] : re;
        sum[i + 1] = accumulate ? im + sum[i + 1] : im;
    }
}

#if defined(MORV_PRODUCT_AVX)
// Two complex pairs at a time; AVX alone has no multiply-add, so each lane
// rounds as the two-lane version does.
__attribute__((target("avx"))) void productPairsAvx(const double* s, const double* w, double* sum, int first,
                                                    int last, bool accumulate) {
    int i = first;
    for (; i + 3 < last; i += 4) {
        const __m256d sv = _mm256_loadu_pd(s + i);
        const __m256d wv = _mm256_loadu_pd(w + i);
        const __m256d a = _mm256_mul_pd(_mm256_movedup_pd(sv), wv);
        const __m256d b = _mm256_mul_pd(_mm256_permute_pd(sv, 0xF), _mm256_permute_pd(wv, 0x5));
        __m256d product = _mm256_addsub_pd(a, b);
        if (accumulate) product = _mm256_add_pd(product, _mm256_loadu_pd(sum + i));
        _mm256_storeu_pd(sum + i, product);
    }
    productPairs(s, w, sum, i, last, accumulate);
}

bool processorHasAvx() {
    static const bool available = __builtin_cpu_supports("avx");
    return available;
}
#endif

}  // namespace

ConvolutionLevel::ConvolutionLevel(int blockLength, int offset, int historySlots)
    : fft_(2 * blockLength),
      block_(blockLength),
      length_(2 * blockLength),
      offset_(offset),
      history_(static_cast<size_t>(historySlots) * 2 * blockLength, 0.0),
      slots_(historySlots),
      blocks_(static_cast<size_t>(3 * blockLength), 0.0),
      product_(static_cast<size_t>(2 * blockLength), 0.0) {}

int ConvolutionLevel::transformPartitions(RealFft& transform, int blockLength, const double* samples, int count,
                                          std::vector<double>& spectra) {
    const int length = 2 * blockLength;
    const int partitions = count > 0 ? (count + blockLength - 1) / blockLength : 0;
    const size_t needed = static_cast<size_t>(partitions) * length;
    if (spectra.size() < needed) spectra.resize(needed);
    for (int k = 0; k < partitions; ++k) {
        double* s = spectra.data() + static_cast<size_t>(k) * length;
        const int first = k * blockLength;
        const int taken = std::min(count - first, blockLength);
        std::copy(samples + first, samples + first + taken, s);
        std::fill(s + taken, s + length, 0.0);
        transform.forward(s);
    }
    return partitions;
}

void ConvolutionLevel::swapResponse(std::vector<double>& spectra, int partitions, std::vector<double>& grown) {
    spectra_.swap(spectra);
    partitions_ = partitions;
    growHistory(partitions_, grown);
}

// A longer history keeps the window spectra it has, newest last.
void ConvolutionLevel::growHistory(int slots, std::vector<double>& grown) {
    if (slots <= slots_) return;
    for (int age = 0; age < slots_; ++age) {
        const double* from = history(age);
        std::copy(from, from + length_, grown.begin() + static_cast<size_t>(slots_ - 1 - age) * length_);
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
}

bool ConvolutionLevel::push(const double* samples, int count) {
    std::memcpy(blocks_.data() + static_cast<size_t>(filling_) * block_ + filled_, samples, sizeof(double) * count);
    filled_ += count;
    if (filled_ < block_) return false;
    filled_ = 0;
    filling_ = (filling_ + 1) % 3;
    return true;
}

// The window's spectrum joins the history; the products are summed from the
// last partition (the oldest window) to the first (the newest), which is the
// order in which a chain of accumulators passed down one partition per step
// would add them.
void ConvolutionLevel::step() {
    newest_ = (newest_ + 1) % slots_;
    double* newest = history(0);
    const double* older = blocks_.data() + static_cast<size_t>((stepBlock_ + 2) % 3) * block_;
    const double* newer = blocks_.data() + static_cast<size_t>(stepBlock_) * block_;
    std::copy(older, older + block_, newest);
    std::copy(newer, newer + block_, newest + block_);
    fft_.forward(newest);
    if (partitions_ == 0) {
        std::fill(product_.begin(), product_.end(), 0.0);
        return;
    }
    double* sum = product_.data();
    sumProducts(sum);
    fft_.inverse(sum);
}

// The products of every partition with its window, summed from the last
// partition (the oldest window) to the first; elements 0 and N - 1 are real.
void ConvolutionLevel::sumProducts(double* sum) {
    const int last = partitions_ - 1;
    const int n = length_;
    sum[0] = spectrum(last)[0] * history(last)[0];
    sum[n - 1] = spectrum(last)[n - 1] * history(last)[n - 1];
    for (int k = last - 1; k >= 0; --k) {
        sum[0] = spectrum(k)[0] * history(k)[0] + sum[0];
        sum[n - 1] = spectrum(k)[n - 1] * history(k)[n - 1] + sum[n - 1];
    }
#if defined(MORV_PRODUCT_AVX)
    auto pairs = processorHasAvx() ? productPairsAvx : productPairs;
#else
    auto pairs = productPairs;
#endif
    for (int first = 1; first < n - 1; first += kStretch) {
        const int end = std::min(first + kStretch, n - 1);
        for (int k = last; k >= 0; --k) pairs(spectrum(k), history(k), sum, first, end, k != last);
    }
}
