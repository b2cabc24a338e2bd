#pragma once

#include <vector>

// Least-squares autoregressive interpolation of a gap: given a
// prediction-error filter a[0..order], replaces x[start..end] by the values
// that minimise the sum of squared prediction errors over every residual
// involving a gap sample. x must hold order samples before and after the gap.
class ArInterpolator {
public:
    // Storage for gaps of up to maxGap samples with filters of up to maxOrder.
    ArInterpolator(int maxGap, int maxOrder);

    // Returns false, leaving x untouched, when the gap is longer than maxGap,
    // the order above maxOrder, or the normal equations are not positive
    // definite.
    bool interpolate(double* x, int start, int end, const double* a, int order);
    // With a filter of order maxOrder.
    bool interpolate(double* x, int start, int end, const double* a) { return interpolate(x, start, end, a, maxOrder_); }

    int maxGap() const { return maxGap_; }

private:
    void modelCorrelation(const double* a, int gap, int order);
    void knownContributions(const double* x, int start, int gap, const double* a, int order);
    void projectedContributions(const double* a, int gap, int order);

    int maxGap_;
    int maxOrder_;
    std::vector<double> correlation_;  // b_j / b_0 for lags j = 0 .. gap - 1
    std::vector<double> padded_;       // the known samples around the gap, the gap as zeros
    std::vector<double> known_;        // filter output of the known samples only
    std::vector<double> projected_;    // c_j, right-hand side of the normal equations
    std::vector<double> recursion_;    // Levinson filter of the normalised matrix
    std::vector<double> scaled_;       // Trench scratch
    std::vector<double> inverse_;      // maxGap x maxGap
};
