#pragma once

#include <vector>

#include "effects/spatial/partitioned_convolver.h"
#include "effects/spatial/room_geometry.h"

class ModuleRandom;

// Levels of the three parts of the room's response.
struct ReverbMix {
    double direct;
    double reflections;
    double reverberation;
};

// What one ear of the room hears: the direct path, the early reflections and
// a random late tail, smoothed by a one-pole low-pass, scaled by 0.1 and
// applied by partitioned convolution.
class ReverbChannel {
public:
    static constexpr int kPartitionLength = 2048;

    ReverbChannel(double sampleRate, const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random);

    // Builds the response for a room and mix anew and loads it; the tail is
    // drawn from random as it stands.
    void rebuild(const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random);

    PartitionedConvolver& convolver() { return convolver_; }
    const PartitionedConvolver& convolver() const { return convolver_; }
    const std::vector<double>& response() const { return response_; }
    double reverberationTime() const { return reverberationTime_; }
    int directDelay() const { return directDelay_; }
    int tailStart() const { return tailStart_; }
    int spacing() const { return spacing_; }
    double cutoff() const { return cutoff_; }
    double smoothing() const { return smoothing_; }

private:
    void assembleResponse(const std::vector<double>& early);

    PartitionedConvolver convolver_;
    double sampleRate_;
    RoomGeometry geometry_;
    ReverbMix mix_;
    double reverberationTime_ = 0.0;
    double cutoff_ = 0.0;
    double smoothing_ = 0.0;
    int tailStart_ = 0;
    int spacing_ = 0;
    int directDelay_ = 0;
    std::vector<double> tail_;
    std::vector<double> response_;
};
