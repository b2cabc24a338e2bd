#include "effects/restoration/toeplitz_inverse.h"

#include <cmath>

bool levinsonDurbin(const double* r, int n, double* a, double* error) {
    a[0] = 1.0;
    double e = r[0];
    for (int m = 1; m < n; ++m) {
        double acc = r[m];
        for (int i = 1; i < m; ++i) acc += a[i] * r[m - i];
        const double k = -acc / e;
        if (!(std::fabs(k) < 1.0)) return false;
        a[m] = k;
        // a[i] += k a[m - i], in symmetric pairs so no copy is needed.
        for (int i = 1; i < m - i; ++i) {
            const double low = a[i];
            const double high = a[m - i];
            a[i] = low + k * high;
            a[m - i] = high + k * low;
        }
        if (m % 2 == 0) a[m / 2] *= 1.0 + k;
        e *= 1.0 - k * k;
    }
    *error = e;
    return true;
}

void trenchInverse(const double* a, int n, double error, double* scaled, double* inverse, int stride) {
    // forward[m] = a[m] / error; reversed[m] = a[n - m] / error for m >= 1,
    // the first column of L2 (reversed[0] = 0).
    double* forward = scaled;
    double* reversed = scaled + n;
    for (int m = 0; m < n; ++m) {
        forward[m] = a[m] / error;
        reversed[m] = m == 0 ? 0.0 : a[n - m] / error;
    }
    // Row 0 is a / error; each further element adds one term of the two
    // products to its upper-left neighbour:
    // inv[i+1][j+1] = inv[i][j] + (a[i+1] a[j+1] - b[i+1] b[j+1]) / error.
    for (int j = 0; j < n; ++j) inverse[j] = forward[j];
    for (int i = 1; i < n; ++i) {
        double* row = inverse + static_cast<long>(i) * stride;
        const double* above = row - stride;
        const double ai = a[i];
        const double bi = a[n - i];
        for (int j = i; j < n; ++j) row[j] = above[j - 1] + ai * forward[j] - bi * reversed[j];
    }
    for (int i = 1; i < n; ++i)
        for (int j = 0; j < i; ++j) inverse[static_cast<long>(i) * stride + j] = inverse[static_cast<long>(j) * stride + i];
}
