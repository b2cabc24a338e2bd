#include "effects/timepitch/spectrum_resampling.h"

#include <algorithm>

namespace {

constexpr double kTopBinShare = 0.1;
constexpr double kFadeBelowTop = 0.5;
constexpr double kFadeTwoBelowTop = 0.9;

}  // namespace

void resampleSpectrum(const double* magnitude, const double* advance, int binCount, double factor,
                      double* newMagnitude, double* newAdvance) {
    SpectrumResampling plan(binCount);
    plan.configure(factor);
    std::vector<double> m, a;
    for (int b : plan.sources()) {
        m.push_back(magnitude[b]);
        a.push_back(advance[b]);
    }
    plan.apply(m.data(), a.data(), newMagnitude, newAdvance);
}

SpectrumResampling::SpectrumResampling(int binCount)
    : binCount_(binCount), slot_(binCount), weight_(binCount), complement_(binCount), place_(binCount) {
    sources_.reserve(binCount);
}

// Output bins with s below the top source bin interpolate and come first, as
// s grows with k; then those with s on the top bin; past it nothing is read.
void SpectrumResampling::configure(double factor) {
    factor_ = factor;
    const int top = binCount_ - 1;
    std::fill(place_.begin(), place_.end(), -1);
    interpolatedEnd_ = writtenEnd_ = 1;
    for (int k = 1; k < top; ++k) {
        const double s = k / factor;
        const int i = static_cast<int>(s);
        if (i + 1 < binCount_) {
            slot_[k] = i;
            weight_[k] = s - i;
            complement_[k] = 1.0 - weight_[k];
            place_[i] = place_[i + 1] = 0;
            interpolatedEnd_ = writtenEnd_ = k + 1;
        } else if (i > top) {
            break;
        } else {
            place_[top] = 0;
            writtenEnd_ = k + 1;
        }
    }
    // Number the bins read in order; a pair i, i + 1 gets neighbouring places.
    sources_.clear();
    for (int b = 0; b < binCount_; ++b) {
        if (place_[b] < 0) continue;
        place_[b] = static_cast<int>(sources_.size());
        sources_.push_back(b);
    }
    for (int k = 1; k < interpolatedEnd_; ++k) slot_[k] = place_[slot_[k]];
    topSlot_ = place_[top];
}

void SpectrumResampling::apply(const double* magnitude, const double* advance, double* newMagnitude,
                               double* newAdvance) const {
    const double r = factor_;
    for (int k = 1; k < interpolatedEnd_; ++k) {
        const int j = slot_[k];
        const double f = weight_[k], g = complement_[k];
        newMagnitude[k] = g * magnitude[j] + f * magnitude[j + 1];
        newAdvance[k] = (g * advance[j] + f * advance[j + 1]) * r;
    }
    for (int k = interpolatedEnd_; k < writtenEnd_; ++k) {
        newMagnitude[k] = kTopBinShare * magnitude[topSlot_];
        newAdvance[k] = r * advance[topSlot_];
        if (k - 1 >= 1) newMagnitude[k - 1] *= kFadeBelowTop;
        if (k - 2 >= 1) newMagnitude[k - 2] *= kFadeTwoBelowTop;
    }
}
