#include "effects/restoration/click_fill.h"

#include <algorithm>

namespace {

// Half-width of the mean that smooths a straight fill; a short mean only
// softens the joins.
constexpr int kSmoothingHalfWidth = 2;

// Estimate of x[n] from the samples one and two periods before and after it
// that lie inside the frame (backward ones from index 1 on) and outside
// every click. Where both the sample before and the one after are there,
// only such symmetric pairs are used: their phase errors against a period
// that is not a whole number of samples cancel to first order. False when
// no copy is there.
bool periodicEstimate(const double* x, int length, int n, int period, const char* clicked, double* estimate) {
    double pairSum = 0.0, oneSum = 0.0;
    int pairs = 0, ones = 0;
    for (int k = 1; k <= 2; ++k) {
        const int back = n - k * period;
        const int ahead = n + k * period;
        const bool hasBack = back >= 1 && !clicked[back];
        const bool hasAhead = ahead < length && !clicked[ahead];
        if (hasBack && hasAhead) {
            pairSum += x[back] + x[ahead];
            pairs += 2;
        } else if (hasBack || hasAhead) {
            oneSum += x[hasBack ? back : ahead];
            ++ones;
        }
    }
    if (pairs > 0) {
        *estimate = pairSum / pairs;
        return true;
    }
    if (ones == 0) return false;
    *estimate = oneSum / ones;
    return true;
}

// The periodic fill, less the estimate's own mismatch at the two anchors
// (known samples), spread along a line between them.
bool periodicFill(const double* x, double* y, int length, int start, int end, int period, const char* clicked) {
    for (int n = start; n <= end; ++n)
        if (!periodicEstimate(x, length, n, period, clicked, &y[n])) return false;
    const int left = start - 1;
    const int right = end + 1;
    double atLeft, atRight;
    const bool hasLeft = periodicEstimate(x, length, left, period, clicked, &atLeft);
    const bool hasRight = periodicEstimate(x, length, right, period, clicked, &atRight);
    if (!hasLeft && !hasRight) return false;
    const double d0 = hasLeft ? atLeft - x[left] : atRight - x[right];
    const double d1 = hasRight ? atRight - x[right] : d0;
    const double slope = (d1 - d0) / (right - left);
    for (int n = start; n <= end; ++n) y[n] -= d0 + (n - left) * slope;
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

bool fillClick(double* x, double* y, int length, int start, int end, int period, const char* clicked) {
    if (period > 0 && periodicFill(x, y, length, start, end, period, clicked)) {
        for (int n = start; n <= end; ++n) x[n] = y[n];
        return true;
    }
    straightFill(x, y, start, end);
    smoothIntoFrame(x, y, length, start, end);
    return false;
}
