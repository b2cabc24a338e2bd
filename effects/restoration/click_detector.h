#pragma once

#include <vector>

// Finds clicks in a frame: samples where the local energy of the
// linear-prediction residual rises above a smoothed, outlier-trimmed level
// times the threshold factor. Only samples margin + 1 .. N - margin - 1 are
// scanned; a click longer than maxLength is dropped. Two kinds of regions
// that rise above the threshold are not clicks and are dropped: the echoes
// of a strong click (the two-sided residual repeats it at every lag of the
// model) and a sound starting out of digital silence or stopping into it.
// Each click found is then narrowed to the samples the disturbance covers.
class ClickDetector {
public:
    ClickDetector(int frameLength, int order, int maxLength);

    // Detects the clicks of x (frameLength samples) under the prediction-error
    // filter a[0..order]. Returns the click count.
    int detect(const double* x, const double* a, double thresh);

    int clickCount() const { return clickCount_; }
    // First and last sample of click i (inclusive).
    int clickStart(int i) const { return starts_[i]; }
    int clickEnd(int i) const { return ends_[i]; }

    // Views of the last detection, for inspection.
    const double* energy() const { return energy_.data(); }
    const double* threshold() const { return threshold_.data(); }

private:
    void computeResidual(const double* x, const double* a);
    void computeEnergy();
    double trimmedLevel();
    void computeThreshold(double level, double thresh);
    void scan();
    void dropEchoes();
    void mergeNeighbours();
    void dropSilenceEdges(const double* x);
    void localize(const double* x, const double* a);
    void keepMarked();

    int length_;
    int order_;
    int maxLength_;
    std::vector<double> energy_;
    std::vector<double> work_;
    std::vector<double> threshold_;  // holds the residual until the threshold replaces it
    std::vector<int> starts_;
    std::vector<int> ends_;
    std::vector<double> peaks_;  // largest energy of each click
    std::vector<char> keep_;
    int clickCount_ = 0;
};
