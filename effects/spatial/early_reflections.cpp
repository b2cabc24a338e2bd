#include "effects/spatial/early_reflections.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeedOfSound = 343.0;                    // metres per second
constexpr double kSecondsPerMetre = 0.0029154518950437317;  // 1 / 343
constexpr int kImageIndices[] = {-5, -4, -3, -2, -1, 1, 2, 3, 4, 5};
constexpr int kIndexCount = 10;
constexpr double kMergeWindow = 0.001;  // seconds
// The spacing is taken between the first reflection and the seventeenth.
constexpr int kSpacingReflection = 16;
constexpr double kSpacingFraction = 0.0625;
// Cutoff of the smoothing: fc = exp(kCutoffBase - kCutoffSlope ln x), with x
// the energy-weighted mean path length of the reflections in metres.
constexpr double kCutoffBase = 10.577;
constexpr double kCutoffSlope = 0.596;

// r^n by repeated products, so that both builds get the same bits.
double power(double r, int n) {
    double v = 1.0;
    for (int i = 0; i < n; ++i) v *= r;
    return v;
}

// Image coordinate relative to the ear and the image's reflection factor for
// index n on one axis.
struct AxisImage {
    double offset;
    double factor;
};

AxisImage axisImage(int n, double source, double ear, double length, double low, double high) {
    const double s = (n % 2 == 0) ? 1.0 : -1.0;
    const double coordinate = s * source + (n + 0.5 - 0.5 * s) * length;
    return {coordinate - ear, n < 0 ? power(low, -n) : power(high, n)};
}

int roundHalfUp(double seconds, double sampleRate) {
    const double x = seconds * sampleRate;
    const int whole = static_cast<int>(x);
    return x - whole >= 0.5 ? whole + 1 : whole;
}

}  // namespace

EarlyReflections::EarlyReflections(const RoomGeometry& ear, double sampleRate, double reverberationTime) {
    std::vector<Reflection> list = sortedImages(ear);
    merge(list, reverberationTime);
    directDelay_ = static_cast<int>(sourceDistance(ear) * sampleRate / kSpeedOfSound);
    deriveShape(list, sampleRate);
    placeReflections(sampleRate);
}

// Every image, sorted by delay; images at equal delay keep the order in
// which they were made, so that the merge below is the same on any platform.
std::vector<EarlyReflections::Reflection> EarlyReflections::sortedImages(const RoomGeometry& ear) const {
    AxisImage axes[3][kIndexCount];
    for (int axis = 0; axis < 3; ++axis) {
        for (int i = 0; i < kIndexCount; ++i) {
            axes[axis][i] = axisImage(kImageIndices[i], ear.source[axis], ear.listener[axis], ear.size[axis],
                                      ear.reflection[axis], ear.reflection[axis + 3]);
        }
    }
    std::vector<Reflection> list;
    list.reserve(kIndexCount * kIndexCount * kIndexCount);
    for (const AxisImage& x : axes[0]) {
        for (const AxisImage& y : axes[1]) {
            for (const AxisImage& z : axes[2]) {
                const double d = std::sqrt(x.offset * x.offset + y.offset * y.offset + z.offset * z.offset);
                list.push_back({d * kSecondsPerMetre, x.factor * y.factor * z.factor / (4.0 * kPi * d)});
            }
        }
    }
    std::vector<int> order(list.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(), [&list](int a, int b) {
        return list[a].delay < list[b].delay || (list[a].delay == list[b].delay && a < b);
    });
    std::vector<Reflection> sorted;
    sorted.reserve(list.size());
    for (int i : order) sorted.push_back(list[i]);
    return sorted;
}

// In place from the front: a reflection within the merge window of the last
// entry is folded into it (energy-weighted delay, summed energy); the merge
// stops at the first reflection later than the reverberation time. Entries
// past the merged ones keep their sorted values.
void EarlyReflections::merge(std::vector<Reflection>& list, double reverberationTime) {
    int last = 0;
    for (size_t k = 1; k < list.size(); ++k) {
        const Reflection next = list[k];
        if (next.delay > reverberationTime) break;
        Reflection& entry = list[last];
        if (next.delay - entry.delay < kMergeWindow) {
            const double ea = entry.amplitude * entry.amplitude, eb = next.amplitude * next.amplitude;
            entry.delay = (ea * entry.delay + eb * next.delay) / (ea + eb);
            entry.amplitude = std::sqrt(ea + eb);
        } else {
            list[++last] = next;
        }
    }
    merged_.assign(list.begin(), list.begin() + last + 1);
}

// Spacing from the in-place list (its element 16 is an unmerged delay when
// fewer than 17 entries were kept), smoothing from the reflections' energy.
void EarlyReflections::deriveShape(const std::vector<Reflection>& list, double sampleRate) {
    spacing_ = static_cast<int>((list[kSpacingReflection].delay - list[0].delay) * sampleRate * kSpacingFraction);
    double energy = 0.0, weighted = 0.0;
    for (const Reflection& r : merged_) {
        const double e = r.amplitude * r.amplitude;
        energy += e;
        weighted += e * r.delay;
    }
    const double meanPath = kSpeedOfSound * weighted / energy;
    cutoff_ = std::exp(kCutoffBase - kCutoffSlope * std::log(meanPath));
    const double beta = 2.0 - std::cos(2.0 * kPi * cutoff_ / sampleRate);
    smoothing_ = beta - std::sqrt(beta * beta - 1.0);
}

void EarlyReflections::placeReflections(double sampleRate) {
    size_t strongest = 0;
    for (size_t k = 1; k < merged_.size(); ++k) {
        if (merged_[k].amplitude > merged_[strongest].amplitude) strongest = k;
    }
    const double peak = merged_[strongest].amplitude;
    strongest_ = roundHalfUp(merged_[strongest].delay, sampleRate);
    response_.assign(static_cast<size_t>(roundHalfUp(merged_.back().delay, sampleRate)) + 1, 0.0);
    for (const Reflection& r : merged_) response_[roundHalfUp(r.delay, sampleRate)] = r.amplitude / peak;
}
