#pragma once

#include <cstddef>
#include <vector>

// Diffuse-field equalisation of a set of head-related responses: every
// response is divided by the power average of the whole set (all directions,
// both ears), so that what the measurement chain and the ear canal add to
// every direction alike comes out, and only what tells directions and ears
// apart stays.
//
// The division is a minimum-phase inverse filter, designed on a long
// transform from the regularised inverse of the average magnitude: no band
// is lifted more than kMaxLiftDb above the set's typical level in the flat
// band, so bands the measurement hardly reached (the extreme lows and highs)
// are not pulled up into noise. Each equalised response is windowed back to
// the kernel length; since the window changes the average a little, the
// design is repeated on the windowed kernels' average (kPasses times, the
// correction smoothed to what a kernel can resolve). The set is finally
// scaled so that its power average over the flat band is 1: a diffuse source
// (one that reaches the ears from every direction alike) keeps its level.
class DiffuseFieldEqualiser {
public:
    static constexpr int kDesignLength = 8192;
    static constexpr double kMaxLiftDb = 20.0;
    static constexpr int kPasses = 5;
    // Taps at the end of each kernel faded out with a half Hann window.
    static constexpr int kFadeTaps = 32;

    // responses: count pointers to `taps` samples each; the kernels keep
    // their first kernelTaps samples; the band [flatFrom, flatTo] (in
    // fractions of the sample rate) sets the level.
    DiffuseFieldEqualiser(const std::vector<const double*>& responses, int taps, int kernelTaps, double flatFrom,
                          double flatTo);

    // The equalised kernel of response i: kernelTaps samples.
    const double* kernel(int i) const { return &kernels_[static_cast<size_t>(i) * kernelTaps_]; }
    // The inverse filter's largest lift over the set's typical level, in dB.
    double largestLiftDb() const { return largestLiftDb_; }
    // Power average of the kernels over the design transform's bins 0 .. N/2.
    const std::vector<double>& powerAverage() const { return average_; }

private:
    void equalise(const std::vector<double>& inverse);
    void measureAverage();
    void measureTypicalLevel();
    void refineMagnitude();
    void scaleToUnitLevel();

    std::vector<const double*> responses_;
    int taps_;
    int kernelTaps_;
    int flatFirstBin_;
    int flatLastBin_;
    std::vector<double> kernels_;
    std::vector<double> average_;    // bins 0 .. N/2
    std::vector<double> magnitude_;  // the inverse filter's magnitude, bins 0 .. N/2
    double typicalMagnitude_ = 1.0;  // the unequalised set's typical level, as a magnitude
    double largestLiftDb_ = 0.0;
};
