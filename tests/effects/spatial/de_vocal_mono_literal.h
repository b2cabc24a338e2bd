#pragma once

#include <vector>

#include "effects/spatial/de_vocal_mono.h"
#include "framework/real_fft.h"

namespace spatialtest {

// The vocal remover as first written down: the difference D = (1 + p) L -
// (1 - p) R in the time domain, three forward transforms (L, R, D), per entry
// D = M D, L = Q L + D, R = Q R - D with M = G / 2 and Q = 1 - G, and two
// inverse transforms. The module does the same work with one transform each
// way; tests compare the two and the benchmark times them.
class LiteralDeVocalMono : public DeVocalMono {
public:
    LiteralDeVocalMono(double sampleRate, int streamChannels)
        : DeVocalMono(sampleRate, streamChannels),
          fft_(frameLength()),
          difference_(frameLength()),
          half_(frameLength()),
          complement_(frameLength()) {}

    void processFrame(int /*channelMask*/) override {
        const int n = frameLength();
        const std::vector<double>& g = bandMask();
        for (int j = 0; j < n; ++j) {
            half_[j] = g[j] / 2.0;
            complement_[j] = 1.0 - g[j];
        }
        double* left = framePlane(0);
        double* right = framePlane(1);
        for (int i = 0; i < n; ++i) difference_[i] = (1.0 + pan()) * left[i] - (1.0 - pan()) * right[i];
        fft_.forward(left);
        fft_.forward(right);
        fft_.forward(difference_.data());
        for (int j = 0; j < n; ++j) {
            const double d = half_[j] * difference_[j];
            left[j] = complement_[j] * left[j] + d;
            right[j] = complement_[j] * right[j] - d;
        }
        fft_.inverse(left);
        fft_.inverse(right);
    }

private:
    RealFft fft_;
    std::vector<double> difference_;
    std::vector<double> half_;
    std::vector<double> complement_;
};

}  // namespace spatialtest
