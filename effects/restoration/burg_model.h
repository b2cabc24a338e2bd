#pragma once

#include <vector>

// Forward and backward prediction errors of the Burg recursion. Sized for the
// longest input so far; grows on demand and never shrinks. Each array has
// kAlignmentSlack values more than its capacity, so that the errors can
// start on a 64-byte boundary: the error updates run faster there.
struct BurgWork {
    static constexpr int kAlignmentSlack = 8;

    explicit BurgWork(int capacity = 0)
        : forward(capacity + kAlignmentSlack), backward(capacity + kAlignmentSlack) {}

    int capacity() const { return static_cast<int>(forward.size()) - kAlignmentSlack; }
    void reserve(int length) {
        if (length > capacity()) {
            forward.resize(length + kAlignmentSlack);
            backward.resize(length + kAlignmentSlack);
        }
    }

    std::vector<double> forward;
    std::vector<double> backward;
};

struct BurgResult {
    // Normalised prediction-error power: the product of (1 - k^2) over the
    // reflection coefficients found.
    double error;
    // False when the error energy vanished before the requested order was
    // reached; the coefficients then hold the model found so far. A model
    // that predicts the input to rounding error before that order is
    // complete (its further coefficients are zero).
    bool complete;
};

// Burg estimate of the prediction-error filter a[0..order] (a[0] = 1) of
// input[0..length-1], written to coefficients (order + 1 values). The model
// predicts x[n] = -sum_{i>=1} a[i] x[n-i].
BurgResult BurgModel(const double* input, int length, int order, double* coefficients, BurgWork& work);

// A stretch x[start .. start + length - 1] of a signal.
struct SampleRun {
    int start;
    int length;
};

// The same estimate from several separate stretches of x, as if each were
// analysed on its own and their error sums added: no prediction reaches
// across the gaps between them. Stretches of order samples or fewer add
// nothing to the highest orders.
BurgResult BurgModel(const double* x, const SampleRun* runs, int runCount, int order, double* coefficients,
                     BurgWork& work);

// Lifts the power spectrum of the model a[0..order] by a white floor of
// `floor` times its power: the model's autocorrelation is recovered from its
// reflection coefficients, floor is added at lag 0, and the filter is solved
// again. A model of band-limited music predicts its empty top octave so well
// that its inverse amplifies anything there by 100 dB or more; the floor
// bounds that gain. scratch holds 3 * (order + 1) values.
void addWhiteFloor(double* coefficients, int order, double floor, double* scratch);
