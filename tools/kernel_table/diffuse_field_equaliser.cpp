#include "tools/kernel_table/diffuse_field_equaliser.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "framework/packed_spectrum.h"
#include "framework/real_fft.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBins = DiffuseFieldEqualiser::kDesignLength / 2 + 1;

// Real cepstrum folding: the minimum-phase filter whose magnitude is
// exp(logMagnitude) on bins 0 .. N/2. The cepstrum of a real even log
// magnitude is real and even; keeping quefrency 0 and N/2 and doubling the
// causal half (zeroing the rest) gives the log spectrum of the one causal
// filter with that magnitude whose zeros all lie inside the unit circle.
std::vector<double> minimumPhase(const std::vector<double>& logMagnitude, RealFft& fft) {
    const int n = DiffuseFieldEqualiser::kDesignLength;
    std::vector<double> x(n, 0.0);
    x[0] = logMagnitude[0];
    for (int k = 1; k < n / 2; ++k) x[2 * k - 1] = logMagnitude[k];
    x[n - 1] = logMagnitude[n / 2];
    fft.inverse(x.data());
    for (int q = 1; q < n / 2; ++q) x[q] *= 2.0;
    std::fill(x.begin() + n / 2 + 1, x.end(), 0.0);
    fft.forward(x.data());
    x[0] = std::exp(x[0]);
    x[n - 1] = std::exp(x[n - 1]);
    for (int k = 1; k < n / 2; ++k) {
        const ComplexBin<double> bin = complexBin(x.data(), k);
        bin.set(std::exp(bin.value()));
    }
    return x;  // the filter's spectrum, packed
}

// Limits a lift smoothly to at most `largest`: nearly unchanged well below
// it, approaching it from below above it.
double limitLift(double lift, double largest) {
    const double r = lift / largest;
    return lift / std::pow(1.0 + r * r * r * r, 0.25);
}

}  // namespace

DiffuseFieldEqualiser::DiffuseFieldEqualiser(const std::vector<const double*>& responses, int taps, int kernelTaps,
                                             double flatFrom, double flatTo)
    : responses_(responses),
      taps_(std::min(taps, kDesignLength / 2)),
      kernelTaps_(kernelTaps),
      flatFirstBin_(static_cast<int>(std::ceil(flatFrom * kDesignLength))),
      flatLastBin_(static_cast<int>(std::floor(flatTo * kDesignLength))),
      kernels_(responses.size() * static_cast<size_t>(kernelTaps)),
      average_(kBins, 0.0),
      magnitude_(kBins, 1.0) {
    RealFft fft(kDesignLength);
    // First the set as it comes (a unit filter), cut like the kernels.
    std::vector<double> logMagnitude(kBins, 0.0);
    equalise(minimumPhase(logMagnitude, fft));
    scaleToUnitLevel();
    measureTypicalLevel();
    for (int pass = 0; pass < kPasses; ++pass) {
        refineMagnitude();
        for (int k = 0; k < kBins; ++k) logMagnitude[k] = std::log(magnitude_[k]);
        equalise(minimumPhase(logMagnitude, fft));
        scaleToUnitLevel();
    }
    largestLiftDb_ = 20.0 * std::log10(*std::max_element(magnitude_.begin(), magnitude_.end()) * typicalMagnitude_);
}

// Every response through the inverse filter (a packed spectrum), windowed
// back to the kernel length, then the kernels' power average.
void DiffuseFieldEqualiser::equalise(const std::vector<double>& inverse) {
    const int n = kDesignLength;
    RealFft fft(n);
    std::vector<double> x(n);
    std::vector<double> fade(kFadeTaps);
    for (int i = 0; i < kFadeTaps; ++i) fade[i] = 0.5 * (1.0 + std::cos(kPi * (i + 0.5) / kFadeTaps));
    for (size_t r = 0; r < responses_.size(); ++r) {
        std::fill(x.begin(), x.end(), 0.0);
        std::copy(responses_[r], responses_[r] + taps_, x.begin());
        fft.forward(x.data());
        x[0] *= inverse[0];
        x[n - 1] *= inverse[n - 1];
        for (int k = 1; k < n / 2; ++k) {
            const ComplexBin<double> bin = complexBin(x.data(), k);
            bin.set(bin.value() * complexBin(inverse.data(), k).value());
        }
        fft.inverse(x.data());
        double* kernel = &kernels_[r * kernelTaps_];
        std::copy(x.begin(), x.begin() + kernelTaps_, kernel);
        for (int i = 0; i < kFadeTaps; ++i) kernel[kernelTaps_ - kFadeTaps + i] *= fade[i];
    }
    measureAverage();
}

void DiffuseFieldEqualiser::measureAverage() {
    const int n = kDesignLength;
    RealFft fft(n);
    std::vector<double> x(n);
    std::fill(average_.begin(), average_.end(), 0.0);
    for (size_t r = 0; r < responses_.size(); ++r) {
        std::fill(x.begin(), x.end(), 0.0);
        std::copy(kernel(static_cast<int>(r)), kernel(static_cast<int>(r)) + kernelTaps_, x.begin());
        fft.forward(x.data());
        average_[0] += x[0] * x[0];
        average_[n / 2] += x[n - 1] * x[n - 1];
        for (int k = 1; k < n / 2; ++k) average_[k] += complexBin(x.data(), k).power();
    }
    for (double& p : average_) p /= static_cast<double>(responses_.size());
}

// The unequalised set's typical level over the flat band, from which lifts
// are measured: its power average in dB, averaged over log frequency (every
// octave counts alike; the power mean would be ruled by the ear canal's
// resonance, a few kilohertz wide). As a magnitude, on the unit scale.
void DiffuseFieldEqualiser::measureTypicalLevel() {
    double sum = 0.0, weights = 0.0;
    for (int k = flatFirstBin_; k <= flatLastBin_; ++k) {
        sum += std::log(average_[k]) / k;
        weights += 1.0 / k;
    }
    typicalMagnitude_ = std::exp(0.5 * sum / weights);
}

// The inverse filter's magnitude so far, times what the kernels still lack of a
// unit average, with the lift limited. The correction is smoothed over the
// kernels' own resolution (the design length over the kernel length, in
// bins): finer detail, which the short kernels cannot hold, would only grow
// from pass to pass.
void DiffuseFieldEqualiser::refineMagnitude() {
    const double largest = std::pow(10.0, kMaxLiftDb / 20.0) / typicalMagnitude_;
    const int half = kDesignLength / kernelTaps_ / 2;
    std::vector<double> logLack(kBins);
    for (int k = 0; k < kBins; ++k) logLack[k] = -0.5 * std::log(std::max(average_[k], 1e-30));
    for (int k = 0; k < kBins; ++k) {
        double sum = 0.0;
        int count = 0;
        for (int j = std::max(0, k - half); j <= std::min(kBins - 1, k + half); ++j, ++count) sum += logLack[j];
        magnitude_[k] = limitLift(magnitude_[k] * std::exp(sum / count), largest);
    }
}

// Scales the kernels so that their average over the flat band is 1. The
// inverse filter's magnitude stays as it is: it measures lifts from the
// level of the unequalised set.
void DiffuseFieldEqualiser::scaleToUnitLevel() {
    double level = 0.0;
    for (int k = flatFirstBin_; k <= flatLastBin_; ++k) level += average_[k];
    level /= flatLastBin_ - flatFirstBin_ + 1;
    const double gain = 1.0 / std::sqrt(level);
    for (double& v : kernels_) v *= gain;
    for (double& p : average_) p /= level;
}
