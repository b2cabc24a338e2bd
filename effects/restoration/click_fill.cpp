#include "effects/restoration/click_fill.h"

#include <algorithm>

namespace {

// Half-width of the mean that smooths the fill. Half the click length, as a
// bound alone, would average a periodic fill over a whole period or more
// and flatten it to a straight line; a short mean only softens the joins.
constexpr int kSmoothingHalfWidth = 2;

// Mean of the samples one and two periods before and after n that lie inside
// the frame (backward ones from index 1 on); false when none does.
bool periodicEstimate(const double* x, int length, int n, int period, double* estimate) {
    double sum = 0.0;
    int count = 0;
    for (int k = 1; k <= 2; ++k) {
        if (n - k * period >= 1) {
            sum += x[n - k * period];
            ++count;
        }
        if (n + k * period < length) {
            sum += x[n + k * period];
            ++count;
        }
    }
    if (count == 0) return false;
    *estimate = sum / count;
    return true;
}

// The periodic fill, with the mismatch against the straight continuation of
// the signal at both anchors removed along a line.
bool periodicFill(const double* x, double* y, int length, int start, int end, int period) {
    for (int n = start; n <= end; ++n)
        if (!periodicEstimate(x, length, n, period, &y[n])) return false;
    const int left = start - 1;
    const int right = end + 1;
    const double d0 = y[start] - (2.0 * x[left] - x[left - 1]);
    const double d1 = y[end] - (2.0 * x[right] - x[right + 1]);
    const double slope = (d1 - d0) / (right - left - 1);
    for (int n = start; n <= end; ++n) y[n] -= (n - left - 1) * slope + d0;
    return true;
}

void straightFill(const double* x, double* y, int start, int end) {
    const int left = start - 1;
    const int right = end + 1;
    const double step = (x[right] - x[left]) / (right - left);
    for (int n = start; n <= end; ++n) y[n] = x[left] + (n - left) * step;
}

double meanAround(const double* y, int n, int half) {
    double sum = 0.0;
    for (int i = n - half; i <= n + half; ++i) sum += y[i];
    return sum / (2 * half + 1);
}

// Smooths y over the click and its anchors and writes it to x, tilted so that
// it meets y at both anchors.
void smoothIntoFrame(double* x, const double* y, int length, int start, int end) {
    const int left = start - 1;
    const int right = end + 1;
    const int half = std::min({(right - left) / 2, left, length - right - 1, kSmoothingHalfWidth});
    const double base = y[left] - meanAround(y, left, half);
    const double slope = (y[right] - meanAround(y, right, half) - base) / (right - left);
    for (int n = start; n <= end; ++n) x[n] = meanAround(y, n, half) + base + (n - left) * slope;
}

}  // namespace

bool fillClick(double* x, double* y, int length, int start, int end, int period) {
    const bool periodic = period > 0 && periodicFill(x, y, length, start, end, period);
    if (!periodic) straightFill(x, y, start, end);
    smoothIntoFrame(x, y, length, start, end);
    return periodic;
}
