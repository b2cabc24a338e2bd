#pragma once

#include <vector>

// Moves a spectrum of magnitudes and phase advances along the frequency axis
// by a pitch factor r, for the phase vocoder. Every array holds binCount bins,
// 0 to binCount - 1, and the source arrays must define all of them: output
// bin k (1 .. binCount - 2) takes source position s = k / r, the two bins
// around it weighted linearly (so bins 0 and binCount - 1 are read too), and
// its advance is scaled by r. Where s falls on the top source bin, the output
// bin gets a tenth of its magnitude and the two bins below are faded by 0.5
// and 0.9; past the top source bin the output stays silent. The output bins 0
// and binCount - 1 are not written; the outputs must be cleared beforehand.
void resampleSpectrum(const double* magnitude, const double* advance, int binCount, double factor,
                      double* newMagnitude, double* newAdvance);

// The same resampling laid out once per factor: the positions and weights of
// every output bin, and the source bins it reads at all, so that a caller
// analyses only those (a third of them when the factor is 3, two thirds when
// it is 1/3). The sources come as a compact list; apply() takes their values
// in that order. Sized for binCount bins once; configure() does not allocate.
class SpectrumResampling {
public:
    explicit SpectrumResampling(int binCount);

    void configure(double factor);
    double factor() const { return factor_; }
    // The source bins read, ascending.
    const std::vector<int>& sources() const { return sources_; }
    // Output bins 1 .. writtenEnd() - 1 are written, the others not.
    int writtenEnd() const { return writtenEnd_; }
    // magnitude and advance hold the values of sources() in its order.
    void apply(const double* magnitude, const double* advance, double* newMagnitude, double* newAdvance) const;

private:
    int binCount_;
    double factor_ = 0.0;
    int interpolatedEnd_ = 1;  // output bins 1 .. this - 1 interpolate two sources
    int writtenEnd_ = 1;       // and up to this - 1 lie on the top source bin
    int topSlot_ = 0;          // the top source bin's place in sources_
    std::vector<int> sources_;
    std::vector<int> slot_;       // per interpolated output bin: the lower source's place
    std::vector<double> weight_;  // f, and 1 - f
    std::vector<double> complement_;
    std::vector<int> place_;      // per source bin: its place in sources_, or -1
};
