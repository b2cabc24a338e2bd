#pragma once

#include <memory>
#include <vector>

#include "effects/spatial/partitioned_convolver.h"
#include "framework/follower_channels.h"
#include "framework/planar_effect.h"
#include "framework/parameter_info.h"

// Places the sound at a direction around the listener's head: channel 0 is
// convolved with the left-ear kernel of the nearest grid direction, channel 1
// with the right-ear kernel. Parameters: "Azim" (lateral angle, -80 left to
// 80 right), "Elev" (polar angle: 0 ahead, 90 above, 180 behind) and "Both"
// (a position along a fixed path around the head; 0 stands still).
//
// Both ears are rendered whatever the channel mask. A mono stream is rendered
// at both ears and mixed back to one channel (a player keeps its stream's
// layout; the command line gives a mono file two channels instead, one per
// ear). Channels past the second come back dry, delayed by the ears' latency
// (one partition), in line with the pair.
class Virtual3D : public PlanarEffect {
public:
    static constexpr int kPartitionLength = 200;

    // table: the kernel table's bytes (16-bit little-endian stored values),
    // read once; null gives a silent module (hasKernels() is then false).
    Virtual3D(double sampleRate, int channels, const unsigned char* table, double azimuth = 0.0,
              double elevation = 0.0);

    // The module's sliders for a rate, without building it.
    static int parameterInfo(double sampleRate, ParameterInfo* out);
    int describeParameters(ParamDescriptor* descriptors) override;
    void setParameters(const double* values) override;
    int presets(const PresetRecord** table) override;
    int presetCount() override;
    // Silences both ears' history and queues, and buffers A and B.
    int reset() override;
    void processPlanes(int channelMask) override;
    // One partition of the ears' convolution: 200 frames.
    int latencyFrames() override { return kPartitionLength; }

    bool hasKernels() const { return hasKernels_; }
    // The grid point whose kernels are in use.
    int azimuthIndex() const { return azimuthIndex_; }
    int elevationIndex() const { return elevationIndex_; }
    double currentAzimuth() const { return azimuth_; }
    double currentElevation() const { return elevation_; }
    // Kernel c (0 left, 1 right) of grid point (ia, ie), as converted.
    const double* kernel(int ia, int ie, int c) const;

    static constexpr double kMinAzimuth = -80.0, kMaxAzimuth = 80.0;
    static constexpr double kMinElevation = -45.0, kMaxElevation = 224.0;

private:
    void convertTable(const unsigned char* table);
    void updateDirection();
    void moveAlongPath();
    void loadKernels();

    std::unique_ptr<PartitionedConvolver> ears_[2];
    bool reselect_ = false;
    double azimuth_, elevation_;  // the direction the kernels were picked for
    double azimuthParameter_, elevationParameter_;
    double both_ = 0.0;
    int azimuthIndex_ = 0, elevationIndex_ = 0;
    bool hasKernels_ = false;
    std::vector<double> table_;  // the converted table, then the two current kernels
    std::vector<double> mono_;   // the right ear's output when the stream is mono
    FollowerChannels followers_;  // the channels past the pair
};
