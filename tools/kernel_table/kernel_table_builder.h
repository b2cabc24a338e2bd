#pragma once

#include <cstdint>
#include <string>
#include <vector>

class MeasuredSet;

// Builds the head-related kernel table from a measured set: for every grid
// direction the measurement nearest to it, both ears' responses diffuse-field
// equalised over the table's kernels and cut to the kernel length (see
// DiffuseFieldEqualiser), stored as 16-bit little-endian values with the
// position offset added. A direction whose kernels do not fit 16 bits has
// both ears scaled down alike, just enough to fit.
class KernelTableBuilder {
public:
    // The share of every response's energy the kept taps must hold.
    static constexpr double kMinEnergyShare = 0.9;

    explicit KernelTableBuilder(const MeasuredSet& set);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

    // What the build found, for the generator's report: the equaliser's
    // largest lift, the largest kernel tap and the leading taps dropped, the
    // directions scaled down to fit and the largest such cut in dB.
    double largestLiftDb() const { return largestLiftDb_; }
    double largestTap() const { return largestTap_; }
    int leadingTapsDropped() const { return lead_; }
    int attenuatedDirections() const { return attenuatedDirections_; }
    double largestCutDb() const { return largestCutDb_; }
    double smallestEnergyShare() const { return smallestShare_; }
    int distinctMeasurements() const { return distinct_; }

private:
    std::vector<int> chooseMeasurements(const MeasuredSet& set) const;
    void store(const MeasuredSet& set, const std::vector<int>& chosen);

    std::string error_;
    std::vector<uint8_t> bytes_;
    double largestLiftDb_ = 0.0;
    double largestTap_ = 0.0;
    int lead_ = 0;
    int attenuatedDirections_ = 0;
    double largestCutDb_ = 0.0;
    double smallestShare_ = 1.0;
    int distinct_ = 0;
};

// FNV-1a (64 bits) of a byte string: the table's checksum.
uint64_t tableChecksum(const uint8_t* bytes, size_t count);
