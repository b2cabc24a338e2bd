#include "effects/restoration/ar_interpolator.h"

#include <algorithm>

#include "effects/restoration/toeplitz_inverse.h"
#include "effects/restoration/weighted_sums.h"

ArInterpolator::ArInterpolator(int maxGap, int maxOrder)
    : maxGap_(maxGap),
      maxOrder_(maxOrder),
      correlation_(maxGap, 0.0),
      padded_(maxGap + 2 * static_cast<size_t>(maxOrder), 0.0),
      known_(maxGap + maxOrder, 0.0),
      projected_(maxGap, 0.0),
      recursion_(maxGap, 0.0),
      scaled_(2 * static_cast<size_t>(maxGap), 0.0),
      inverse_(static_cast<size_t>(maxGap) * maxGap, 0.0) {}

bool ArInterpolator::interpolate(double* x, int start, int end, const double* a, int order) {
    const int gap = end - start + 1;
    if (gap < 1 || gap > maxGap_ || order < 1 || order > maxOrder_) return false;

    modelCorrelation(a, gap, order);
    const double b0 = correlation_[0];
    if (!(b0 > 0.0)) return false;
    for (int j = 0; j < gap; ++j) correlation_[j] /= b0;

    knownContributions(x, start, gap, a, order);
    projectedContributions(a, gap, order);

    double error = 0.0;
    if (!levinsonDurbin(correlation_.data(), gap, recursion_.data(), &error)) return false;
    trenchInverse(recursion_.data(), gap, error, scaled_.data(), inverse_.data(), maxGap_);

    // Normal equations b0 * T u = -c, T the normalised Toeplitz matrix. Row
    // j of the inverse is its column j, so the rows' sums run side by side
    // down the columns.
    double* sums = scaled_.data();
    weightedSums(inverse_.data(), maxGap_, projected_.data(), gap, gap, sums);
    for (int j = 0; j < gap; ++j) x[start + j] = -sums[j] / b0;
    return true;
}

// b_j = sum_i a_i a_(i+j), the autocorrelation of the filter.
void ArInterpolator::modelCorrelation(const double* a, int gap, int order) {
    for (int j = 0; j < gap; ++j) {
        double sum = 0.0;
        for (int i = 0; i + j <= order; ++i) sum += a[i] * a[i + j];
        correlation_[j] = sum;
    }
}

// h_t: the prediction error at n = start + t, t = 0 .. gap + order - 1,
// counting only the samples outside the gap.
// The gap's samples are taken as zeros: their terms then add nothing, not
// even a change of sign (a sum that starts at +0 never becomes -0), so every
// sum is the one that skips them.
void ArInterpolator::knownContributions(const double* x, int start, int gap, const double* a, int order) {
    double* padded = padded_.data();
    std::copy(x + start - order, x + start, padded);
    std::fill(padded + order, padded + order + gap, 0.0);
    std::copy(x + start + gap, x + start + gap + order, padded + order + gap);
    weightedSums(padded + order, -1, a, order + 1, gap + order, known_.data());
}

// c_j = sum_i a_i h_(j+i).
void ArInterpolator::projectedContributions(const double* a, int gap, int order) {
    weightedSums(known_.data(), 1, a, order + 1, gap, projected_.data());
}
