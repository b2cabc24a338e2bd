#include "effects/spatial/convolution_level.h"

#include <algorithm>
#include <cstring>

namespace {

// out = s x w (+ add), bin by bin, in the packed layout: elements 0 and N - 1
// are real, the pairs (2k - 1, 2k) complex. out may be add.
void multiplySpectra(const double* s, const double* w, const double* add, double* out, int n) {
    if (add) {
        out[0] = s[0] * w[0] + add[0];
        out[n - 1] = s[n - 1] * w[n - 1] + add[n - 1];
        for (int i = 1; i < n - 1; i += 2) {
            const double re = s[i] * w[i] - s[i + 1] * w[i + 1];
            const double im = s[i] * w[i + 1] + s[i + 1] * w[i];
            out[i] = re + add[i];
            out[i + 1] = im + add[i + 1];
        }
    } else {
        out[0] = s[0] * w[0];
        out[n - 1] = s[n - 1] * w[n - 1];
        for (int i = 1; i < n - 1; i += 2) {
            const double re = s[i] * w[i] - s[i + 1] * w[i + 1];
            const double im = s[i] * w[i + 1] + s[i + 1] * w[i];
            out[i] = re;
            out[i + 1] = im;
        }
    }
}

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
    multiplySpectra(spectrum(partitions_ - 1), history(partitions_ - 1), nullptr, sum, length_);
    for (int k = partitions_ - 2; k >= 0; --k) multiplySpectra(spectrum(k), history(k), sum, sum, length_);
    fft_.inverse(sum);
}
