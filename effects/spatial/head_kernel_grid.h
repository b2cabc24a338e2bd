#pragma once

#include <cstdint>

// The direction grid of the head-related kernel table and the layout of the
// stored table. Header-only: the table generator (tools/kernel_table) builds
// the table from the same constants that Virtual3D reads it with.
//
// Directions are interaural-polar: the azimuth is the lateral angle (-80 on
// the left, 80 on the right), the elevation the polar angle around the ear
// axis (0 ahead, 90 above, 180 behind, beyond 180 below and behind).
namespace headgrid {

constexpr int kAzimuthCount = 25;
constexpr int kElevationCount = 50;
constexpr int kKernelTaps = 200;
constexpr int kEars = 2;  // kernel 0 for channel 0 (the left ear), kernel 1 for channel 1
constexpr int kPairValues = kEars * kKernelTaps;
constexpr int kTableValues = kAzimuthCount * kElevationCount * kPairValues;  // 500,000
constexpr int kTableBytes = 2 * kTableValues;                                // 16-bit little-endian

constexpr double kAzimuths[kAzimuthCount] = {-80, -65, -55, -45, -40, -35, -30, -25, -20, -15, -10, -5, 0,
                                             5,   10,  15,  20,  25,  30,  35,  40,  45,  55,  65,  80};
constexpr double kFirstElevation = -45.0;
constexpr double kElevationStep = 5.625;

inline double elevation(int index) { return kFirstElevation + kElevationStep * index; }

// First value of the kernel pair of grid point (azimuthIndex, elevationIndex).
inline int pairOffset(int azimuthIndex, int elevationIndex) {
    return (azimuthIndex * kElevationCount + elevationIndex) * kPairValues;
}

// The scrambling offset of the value at position k (1 .. kKernelTaps) within
// its kernel: stored = value + kernelOffset(k), formed in 32-bit integers.
inline int32_t kernelOffset(int k) { return k * k % 10000 - 5000; }

// The stored value at position k as a sample on the +-1 scale.
constexpr double kSampleScale = 3.0517578125e-5;  // 1 / 32768
inline double kernelSample(int32_t stored, int k) { return (stored - kernelOffset(k)) * kSampleScale; }

// Index of the grid value nearest to value among count values given by
// gridValue(i): the search starts from a distance of 1e10 and takes only a
// strictly smaller one, so ties go to the lower index and values beyond
// either end map to that end.
template <class GridValue>
int nearestIndex(double value, int count, GridValue gridValue) {
    int best = 0;
    double bestDistance = 1e10;
    for (int i = 0; i < count; ++i) {
        const double g = gridValue(i);
        const double d = value > g ? value - g : g - value;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

inline int nearestAzimuth(double azimuth) {
    return nearestIndex(azimuth, kAzimuthCount, [](int i) { return kAzimuths[i]; });
}

inline int nearestElevation(double value) { return nearestIndex(value, kElevationCount, elevation); }

}  // namespace headgrid
