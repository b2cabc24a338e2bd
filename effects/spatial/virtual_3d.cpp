#include "effects/spatial/virtual_3d.h"

#include <algorithm>

#include "effects/spatial/head_kernel_grid.h"
#include "effects/spatial/spatial_presets.h"

namespace {

// The movement path: Both = 1 turns the azimuth through 320 degrees
// (0 -> 80 -> -80 -> 0, mirrored at 80) and the elevation through 275.625
// (0 -> 230.625, wrapping to -45 and back to 0).
constexpr double kPathAzimuth = 320.0;
constexpr double kPathElevation = 275.625;
constexpr double kAzimuthWrap = 240.0;
constexpr double kLastElevation = 230.625;

}  // namespace

// The kernels apply as stored at any sample rate.
Virtual3D::Virtual3D(double, int channels, const unsigned char* table, double azimuth, double elevation)
    : PlanarEffect(channels, 5000),
      azimuth_(azimuth),
      elevation_(elevation),
      azimuthParameter_(azimuth),
      elevationParameter_(elevation),
      followers_(channels - 2, kPartitionLength) {
    table_.assign(headgrid::kTableValues + headgrid::kPairValues, 0.0);
    hasKernels_ = table != nullptr;
    if (table) convertTable(table);
    for (auto& ear : ears_) ear = std::make_unique<PartitionedConvolver>(kPartitionLength);
    azimuthIndex_ = headgrid::nearestAzimuth(azimuth_);
    elevationIndex_ = headgrid::nearestElevation(elevation_);
    loadKernels();
}

// stored - offset(k), in 32-bit integers, on the +-1 scale; k counts from 1
// within each kernel.
void Virtual3D::convertTable(const unsigned char* table) {
    for (int i = 0; i < headgrid::kTableValues; ++i) {
        const int32_t stored = static_cast<int16_t>(static_cast<uint16_t>(table[2 * i] | (table[2 * i + 1] << 8)));
        table_[i] = headgrid::kernelSample(stored, i % headgrid::kKernelTaps + 1);
    }
}

const double* Virtual3D::kernel(int ia, int ie, int c) const {
    return table_.data() + headgrid::pairOffset(ia, ie) + c * headgrid::kKernelTaps;
}

namespace {

const ParameterInfo kParameters[] = {
    {{"Azim", Virtual3D::kMaxAzimuth, Virtual3D::kMinAzimuth, 0.0}, "degrees", "azimuth, left to right", nullptr},
    {{"Elev", Virtual3D::kMaxElevation, Virtual3D::kMinElevation, 0.0}, "degrees",
     "elevation, from below over the head to behind", nullptr},
    {{"Both", 1.0, 0.0, 0.0}, "", "position along the movement path (0: still)", nullptr},
};

}  // namespace

int Virtual3D::parameterInfo(double /*sampleRate*/, ParameterInfo* out) { return copyParameters(kParameters, out); }

int Virtual3D::describeParameters(ParamDescriptor* descriptors) { return copyDescriptors(kParameters, descriptors); }

void Virtual3D::setParameters(const double* values) {
    azimuthParameter_ = values[0];
    elevationParameter_ = values[1];
    both_ = values[2];
    reselect_ = true;
}

int Virtual3D::presets(const PresetRecord** table) {
    *table = kVirtual3DPresets.records;
    return kVirtual3DPresets.count;
}

int Virtual3D::presetCount() { return kVirtual3DPresets.count; }

int Virtual3D::reset() {
    for (auto& ear : ears_) ear->reset();
    followers_.reset();
    EffectModule::reset();
    return 0;
}

// With Both above 0 the direction is recomputed, and the kernels reloaded,
// at every call.
void Virtual3D::updateDirection() {
    if (!reselect_ && both_ <= 0.0) return;
    reselect_ = false;
    if (both_ <= 0.0) {
        azimuth_ = azimuthParameter_;
        elevation_ = elevationParameter_;
    } else {
        moveAlongPath();
    }
    azimuthIndex_ = headgrid::nearestAzimuth(azimuth_);
    elevationIndex_ = headgrid::nearestElevation(elevation_);
    loadKernels();
}

void Virtual3D::moveAlongPath() {
    double x = both_ * kPathAzimuth + azimuthParameter_;
    if (x > kAzimuthWrap) x = (kMinAzimuth + x) - kAzimuthWrap * static_cast<long long>(x / kAzimuthWrap);
    if (x > kMaxAzimuth) x = 2.0 * kMaxAzimuth - x;
    azimuth_ = x;
    double y = both_ * kPathElevation + elevationParameter_;
    if (y > kLastElevation) y = (kMinElevation + y) - kLastElevation * static_cast<long long>(y / kLastElevation);
    elevation_ = y;
}

// The kernels take effect from the ears' next partition, without crossfade.
void Virtual3D::loadKernels() {
    double* current = table_.data() + headgrid::kTableValues;
    for (int c = 0; c < 2; ++c) {
        double* taps = current + c * headgrid::kKernelTaps;
        const double* source = kernel(azimuthIndex_, elevationIndex_, c);
        std::copy(source, source + headgrid::kKernelTaps, taps);
        ears_[c]->loadResponse(taps, headgrid::kKernelTaps);
    }
}

// The ears deliver every call (see PartitionedConvolver); should one not,
// its channel is silent for the block rather than repeating an old one.
void Virtual3D::processPlanes(int) {
    updateDirection();
    const int frames = inputFrames();
    if (channels_ == 1) {
        if (mono_.size() < static_cast<size_t>(frames)) mono_.resize(frames);
        double* out = outputPlane(0);
        const bool left = ears_[0]->process(inputPlane(0), out, frames, frames) == frames;
        const bool right = ears_[1]->process(inputPlane(0), mono_.data(), frames, frames) == frames;
        for (int i = 0; i < frames; ++i) out[i] = left && right ? 0.5 * (out[i] + mono_[i]) : 0.0;
        return;
    }
    for (int c = 0; c < channels_; ++c) {
        const double* in = inputPlane(c);
        double* out = outputPlane(c);
        if (c >= 2) {
            followers_.push(c - 2, in, frames, 1);
            followers_.pop(c - 2, out, frames, 1);
        } else if (ears_[c]->process(in, out, frames, frames) == 0) {
            std::fill(out, out + frames, 0.0);
        }
    }
}
