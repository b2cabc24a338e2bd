#include "effects/timepitch/spectrum_resampling.h"

namespace {

constexpr double kTopBinShare = 0.1;
constexpr double kFadeBelowTop = 0.5;
constexpr double kFadeTwoBelowTop = 0.9;

}  // namespace

void resampleSpectrum(const double* magnitude, const double* advance, int binCount, double factor,
                      double* newMagnitude, double* newAdvance) {
    const int top = binCount - 1;
    for (int k = 1; k < top; ++k) {
        const double s = k / factor;
        const int i = static_cast<int>(s);
        const double f = s - i;
        if (i + 1 < binCount) {
            newMagnitude[k] = (1.0 - f) * magnitude[i] + f * magnitude[i + 1];
            newAdvance[k] = ((1.0 - f) * advance[i] + f * advance[i + 1]) * factor;
        } else if (i > top) {
            break;
        } else {
            newMagnitude[k] = kTopBinShare * magnitude[top];
            newAdvance[k] = factor * advance[top];
            if (k - 1 >= 1) newMagnitude[k - 1] *= kFadeBelowTop;
            if (k - 2 >= 1) newMagnitude[k - 2] *= kFadeTwoBelowTop;
        }
    }
}
