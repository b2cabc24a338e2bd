#pragma once

#include <vector>

#include "framework/block_effect.h"
#include "framework/parameter_info.h"
#include "framework/real_fft.h"

// "Restoration-DeHiss": tracks a per-bin hiss floor capped by the average
// magnitude of the upper 40 % of the spectrum, and scales every bin by a soft
// gain (0.01 .. 1) comparing its smoothed magnitude with that floor.
class DeHiss : public BlockEffect {
public:
    DeHiss(double sampleRate, int channels);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    void processFrame(int channelMask) override;

    double thresh() const { return thresh_; }

private:
    void measureMagnitudes(const double* spectrum);
    double hissReference() const;
    void trackFloor(double* smoothed, double* floor, double hiss) const;
    void applyGains(double* spectrum, double* smoothed, double* floor) const;

    RealFft transform_;
    int binCount_;
    double thresh_ = 0.5;
    std::vector<double> magnitude_;
    // Per channel c, bin k at c * binCount_ + k.
    std::vector<double> smoothed_;
    std::vector<double> floor_;
};
