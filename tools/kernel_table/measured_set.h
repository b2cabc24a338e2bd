#pragma once

#include <string>
#include <vector>

// A set of measured head-related impulse responses read from a SOFA file
// (SimpleFreeFieldHRIR, two receivers): every measurement's direction as a
// unit vector (x ahead, y left, z up) and its two responses, left ear first.
class MeasuredSet {
public:
    // Reads the file with libmysofa; error() says what went wrong, if anything.
    explicit MeasuredSet(const std::string& path);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    int count() const { return static_cast<int>(directions_.size() / 3); }
    int taps() const { return taps_; }
    double sampleRate() const { return sampleRate_; }
    const double* direction(int m) const { return &directions_[3 * static_cast<size_t>(m)]; }
    // Ear 0 is the left ear, whatever the file's receiver order.
    const double* response(int m, int ear) const {
        return &responses_[(2 * static_cast<size_t>(m) + ear) * taps_];
    }

private:
    std::string error_;
    int taps_ = 0;
    double sampleRate_ = 0.0;
    std::vector<double> directions_;
    std::vector<double> responses_;
};
