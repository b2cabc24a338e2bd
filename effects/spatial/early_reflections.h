#pragma once

#include <vector>

#include "effects/spatial/room_geometry.h"

// The early part of a room's response at one ear, by the image-source method:
// 1000 images of the source (indices -5..-1 and 1..5 on each axis), sorted by
// delay, merged where they lie within a millisecond of each other and cut at
// the reverberation time; and what the late tail is shaped from.
class EarlyReflections {
public:
    struct Reflection {
        double delay;      // seconds
        double amplitude;  // before normalisation
    };

    EarlyReflections(const RoomGeometry& ear, double sampleRate, double reverberationTime);

    // The merged reflections, in order of delay.
    const std::vector<Reflection>& reflections() const { return merged_; }
    // a_k / a_max at each reflection's sample position (the strongest is 1).
    const std::vector<double>& response() const { return response_; }
    int directDelay() const { return directDelay_; }
    // Typical gap between the first reflections, in samples (0 or less when
    // fewer than 17 reflections survive the merge).
    int spacing() const { return spacing_; }
    // Position of the strongest reflection: where the tail starts.
    int strongestPosition() const { return strongest_; }
    double cutoff() const { return cutoff_; }
    // Coefficient p of the smoothing low-pass y = p y' + (1 - p) x.
    double smoothing() const { return smoothing_; }

private:
    std::vector<Reflection> sortedImages(const RoomGeometry& ear) const;
    void merge(std::vector<Reflection>& list, double reverberationTime);
    void deriveShape(const std::vector<Reflection>& list, double sampleRate);
    void placeReflections(double sampleRate);

    std::vector<Reflection> merged_;
    std::vector<double> response_;
    int directDelay_ = 0;
    int spacing_ = 0;
    int strongest_ = 0;
    double cutoff_ = 0.0;
    double smoothing_ = 0.0;
};
