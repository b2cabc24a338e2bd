#include "tools/kernel_table/kernel_table_builder.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "effects/spatial/head_kernel_grid.h"
#include "tools/kernel_table/diffuse_field_equaliser.h"
#include "tools/kernel_table/measured_set.h"

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;
constexpr double kTableRate = 44100.0;
// One stored step is the module's sample scale.
constexpr double kFullScale = 1.0 / headgrid::kSampleScale;
// The band over which the equalised set's power average is flat and at unit
// level; outside it the equaliser's lift is limited.
constexpr double kFlatFrom = 100.0;
constexpr double kFlatTo = 12000.0;
// A response starts at its first tap of at least this share of its peak; the
// taps dropped ahead of all responses leave this many before the earliest.
constexpr double kOnsetShare = 0.01;
constexpr int kLeadMargin = 6;
// Directions whose closeness differs by less than this count as equally close
// (the lower measurement index wins), so that the choice does not hang on the
// last bit of a cosine.
constexpr double kTie = 1e-9;

// Unit vector (x ahead, y left, z up) of an interaural-polar grid direction.
void gridDirection(double azimuth, double elevation, double* d) {
    const double a = azimuth * kDegree, e = elevation * kDegree;
    d[0] = std::cos(a) * std::cos(e);
    d[1] = -std::sin(a);
    d[2] = std::cos(a) * std::sin(e);
}

// The leading taps that every response can lose: all but kLeadMargin of
// those before the earliest onset (the first tap at kOnsetShare of its
// response's peak). They are the measurement's travel time, the same for
// every direction, and the room they free holds the equalised responses'
// low-frequency tails.
int commonLead(const std::vector<const double*>& responses, int taps) {
    int earliest = taps;
    for (const double* h : responses) {
        double peak = 0.0;
        for (int k = 0; k < taps; ++k) peak = std::max(peak, std::fabs(h[k]));
        int onset = 0;
        while (onset < taps && std::fabs(h[onset]) < kOnsetShare * peak) ++onset;
        earliest = std::min(earliest, onset);
    }
    return std::max(0, earliest - kLeadMargin);
}

// The largest factor, at most 1, by which the kernels of one direction (both
// ears, taps per ear, one after the other) can be multiplied so that every
// stored value, round(tap * factor * kFullScale) + kernelOffset(k), lies in
// 16 bits. The room depends on the position k: an offset of -4900 leaves
// 37667 above zero but only 27868 below.
double fittingFactor(const double* kernels, int ears, int taps) {
    double factor = 1.0;
    for (int ear = 0; ear < ears; ++ear) {
        for (int k = 1; k <= taps; ++k) {
            const double scaled = kernels[ear * taps + k - 1] * kFullScale;
            const double room = scaled > 0.0 ? 32767.0 - headgrid::kernelOffset(k) : -32768.0 - headgrid::kernelOffset(k);
            if (scaled != 0.0 && scaled * factor / room > 1.0) factor = room / scaled;
        }
    }
    return factor;
}

double energy(const double* x, int count) {
    double sum = 0.0;
    for (int k = 0; k < count; ++k) sum += x[k] * x[k];
    return sum;
}

}  // namespace

KernelTableBuilder::KernelTableBuilder(const MeasuredSet& set) {
    if (!set.ok()) {
        error_ = set.error();
        return;
    }
    if (set.sampleRate() != kTableRate || set.taps() < headgrid::kKernelTaps) {
        error_ = "the measured responses must be at 44100 Hz with at least 200 taps";
        return;
    }
    store(set, chooseMeasurements(set));
}

// For every grid point (azimuth-major), the measurement whose direction is
// nearest, that is whose unit vector has the largest dot product with it.
std::vector<int> KernelTableBuilder::chooseMeasurements(const MeasuredSet& set) const {
    std::vector<int> chosen;
    chosen.reserve(headgrid::kAzimuthCount * headgrid::kElevationCount);
    for (int ia = 0; ia < headgrid::kAzimuthCount; ++ia) {
        for (int ie = 0; ie < headgrid::kElevationCount; ++ie) {
            double d[3];
            gridDirection(headgrid::kAzimuths[ia], headgrid::elevation(ie), d);
            int best = 0;
            double bestDot = -2.0;
            for (int m = 0; m < set.count(); ++m) {
                const double* v = set.direction(m);
                const double dot = d[0] * v[0] + d[1] * v[1] + d[2] * v[2];
                if (dot > bestDot + kTie) {
                    bestDot = dot;
                    best = m;
                }
            }
            chosen.push_back(best);
        }
    }
    return chosen;
}

void KernelTableBuilder::store(const MeasuredSet& set, const std::vector<int>& chosen) {
    const int taps = headgrid::kKernelTaps;
    std::vector<const double*> responses;
    for (int m : chosen) {
        for (int ear = 0; ear < headgrid::kEars; ++ear) {
            const double* h = set.response(m, ear);
            smallestShare_ = std::min(smallestShare_, energy(h, taps) / energy(h, set.taps()));
            responses.push_back(h);
        }
    }
    if (smallestShare_ < kMinEnergyShare) {
        error_ = "the kept taps hold too little of some response's energy";
        return;
    }
    lead_ = commonLead(responses, set.taps());
    for (const double*& h : responses) h += lead_;
    const DiffuseFieldEqualiser equalised(responses, set.taps() - lead_, taps, kFlatFrom / kTableRate,
                                          kFlatTo / kTableRate);
    largestLiftDb_ = equalised.largestLiftDb();
    distinct_ = static_cast<int>(std::set<int>(chosen.begin(), chosen.end()).size());
    for (size_t r = 0; r < responses.size(); ++r) {
        const double* h = equalised.kernel(static_cast<int>(r));
        for (int k = 0; k < taps; ++k) largestTap_ = std::max(largestTap_, std::fabs(h[k]));
    }

    // The equalised set keeps a diffuse source's level, so the near ear's
    // kernels for a source at the side peak above what 16 bits hold at the
    // module's scale. Such a direction alone has both its ears scaled down by
    // one factor, just enough to fit: the level and delay between its ears
    // (its ILD and ITD) stay exactly, it is only a little quieter, and every
    // other direction keeps the equalised level.
    bytes_.assign(headgrid::kTableBytes, 0);
    size_t at = 0;
    std::vector<double> pair(static_cast<size_t>(headgrid::kPairValues));
    for (size_t r = 0; r < responses.size(); r += headgrid::kEars) {
        for (int ear = 0; ear < headgrid::kEars; ++ear)
            std::copy(equalised.kernel(static_cast<int>(r) + ear), equalised.kernel(static_cast<int>(r) + ear) + taps,
                      &pair[static_cast<size_t>(ear) * taps]);
        const double factor = fittingFactor(pair.data(), headgrid::kEars, taps);
        if (factor < 1.0) {
            ++attenuatedDirections_;
            largestCutDb_ = std::max(largestCutDb_, -20.0 * std::log10(factor));
        }
        for (size_t i = 0; i < pair.size(); ++i) {
            const int k = static_cast<int>(i) % taps + 1;
            const int32_t scaled = static_cast<int32_t>(std::floor(pair[i] * factor * kFullScale + 0.5));
            const int32_t stored = scaled + headgrid::kernelOffset(k);
            if (stored < -32768 || stored > 32767) {
                error_ = "a stored value left the 16-bit range";
                return;
            }
            const uint16_t word = static_cast<uint16_t>(stored);
            bytes_[at++] = static_cast<uint8_t>(word & 0xff);
            bytes_[at++] = static_cast<uint8_t>(word >> 8);
        }
    }
}

uint64_t tableChecksum(const uint8_t* bytes, size_t count) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < count; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}
