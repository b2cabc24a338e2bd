#include "effects/restoration/ar_interpolator.h"

#include <algorithm>

#include "effects/restoration/toeplitz_inverse.h"

ArInterpolator::ArInterpolator(int maxGap, int maxOrder)
    : maxGap_(maxGap),
      maxOrder_(maxOrder),
      correlation_(maxGap, 0.0),
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

    // Normal equations b0 * T u = -c, T the normalised Toeplitz matrix.
    for (int j = 0; j < gap; ++j) {
        const double* row = inverse_.data() + static_cast<size_t>(j) * maxGap_;
        double sum = 0.0;
        for (int k = 0; k < gap; ++k) sum += row[k] * projected_[k];
        x[start + j] = -sum / b0;
    }
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
void ArInterpolator::knownContributions(const double* x, int start, int gap, const double* a, int order) {
    // Taps i <= t - gap reach past the gap's end and taps i > t before its
    // start; taken in that order, as one pass skipping the gap would.
    for (int t = 0; t < gap + order; ++t) {
        const double* at = x + start + t;
        double sum = 0.0;
        for (int i = 0; i <= std::min(t - gap, order); ++i) sum += a[i] * at[-i];
        for (int i = t + 1; i <= order; ++i) sum += a[i] * at[-i];
        known_[t] = sum;
    }
}

// c_j = sum_i a_i h_(j+i).
void ArInterpolator::projectedContributions(const double* a, int gap, int order) {
    for (int j = 0; j < gap; ++j) {
        double sum = 0.0;
        for (int i = 0; i <= order; ++i) sum += a[i] * known_[j + i];
        projected_[j] = sum;
    }
}
