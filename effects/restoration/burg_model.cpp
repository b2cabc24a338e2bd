#include "effects/restoration/burg_model.h"

#include <algorithm>

namespace {

// Below this error energy the remaining reflection coefficients are undefined.
constexpr double kVanishingEnergy = 1e-20;

// Levinson update of the filter with the new reflection coefficient k at
// order m: a[i] += k a[m - i] for i = 1 .. m - 1, taken in symmetric pairs.
void addReflection(double* a, int m, double k) {
    a[m] = k;
    const int pairs = (m + 1) / 2;
    for (int i = 1; i < pairs; ++i) {
        const double low = a[i];
        const double high = a[m - i];
        a[i] = low + k * high;
        a[m - i] = high + k * low;
    }
    if (m % 2 == 0) a[m / 2] *= 1.0 + k;
}

}  // namespace

BurgResult BurgModel(const double* input, int length, int order, double* coefficients, BurgWork& work) {
    coefficients[0] = 1.0;
    std::fill(coefficients + 1, coefficients + order + 1, 0.0);
    if (length < 2) return {1.0, order == 0};

    work.reserve(length);
    double* f = work.forward.data();
    double* b = work.backward.data();
    // f holds the earlier sample and b the later one of every pair.
    std::copy(input, input + length - 1, f);
    std::copy(input + 1, input + length, b);

    double error = 1.0;
    for (int m = 1; m <= order; ++m) {
        const int pairs = length - m;
        if (pairs < 1) return {error, false};
        double num = 0.0;
        double den = 0.0;
        for (int i = 0; i < pairs; ++i) {
            num += f[i] * b[i];
            den += f[i] * f[i] + b[i] * b[i];
        }
        if (den < kVanishingEnergy) return {error, false};
        const double k = -2.0 * num / den;

        for (int i = 0; i + 1 < pairs; ++i) {
            f[i] += k * b[i];
            b[i] = b[i + 1] + k * f[i + 1];
        }
        addReflection(coefficients, m, k);
        error *= 1.0 - k * k;
    }
    return {error, true};
}
