#pragma once

#include <memory>
#include <vector>

#include "effects/spatial/convolver_response.h"
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
//
// A new room is built in two steps: prepare computes the response and its
// partition spectra into a staging slot (reading only the convolver's shape,
// so it may run beside process on another thread) and install swaps them in.
class ReverbChannel {
public:
    static constexpr int kPartitionLength = 2048;

    ReverbChannel(double sampleRate, const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random);

    // Builds the response for a room and mix anew and loads it; the tail is
    // drawn from random as it stands.
    void rebuild(const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random);
    // rebuild's two steps: build into the staging slot, then swap it in.
    void prepare(const RoomGeometry& ear, const ReverbMix& mix, ModuleRandom& random);
    void install();

    // Steps the convolver's coarse levels on a thread (see
    // PartitionedConvolver); the response in force is loaded again.
    void setBackgroundSteps(bool on);

    PartitionedConvolver& convolver() { return convolver_; }
    const PartitionedConvolver& convolver() const { return convolver_; }
    const std::vector<double>& response() const { return current_->response; }
    double reverberationTime() const { return current_->reverberationTime; }
    int directDelay() const { return current_->directDelay; }
    int tailStart() const { return current_->tailStart; }
    int spacing() const { return current_->spacing; }
    double cutoff() const { return current_->cutoff; }
    double smoothing() const { return current_->smoothing; }

private:
    // One room's response for this ear and what the convolver needs of it.
    struct Design {
        RoomGeometry geometry;
        ReverbMix mix;
        double reverberationTime = 0.0;
        double cutoff = 0.0;
        double smoothing = 0.0;
        int tailStart = 0;
        int spacing = 0;
        int directDelay = 0;
        std::vector<double> tail;
        std::vector<double> response;
        ConvolverResponse spectra;
    };

    static void assembleResponse(const std::vector<double>& early, Design& design);

    PartitionedConvolver convolver_;
    double sampleRate_;
    std::unique_ptr<Design> current_;
    std::unique_ptr<Design> staged_;
};
