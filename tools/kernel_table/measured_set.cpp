#include "tools/kernel_table/measured_set.h"

#include <mysofa.h>

#include <cmath>
#include <cstring>

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

const char* attribute(MYSOFA_ATTRIBUTE* list, const char* name) {
    for (; list; list = list->next) {
        if (list->name && std::strcmp(list->name, name) == 0) return list->value ? list->value : "";
    }
    return "";
}

}  // namespace

MeasuredSet::MeasuredSet(const std::string& path) {
    int err = 0;
    MYSOFA_HRTF* hrtf = mysofa_load(path.c_str(), &err);
    if (!hrtf || err != MYSOFA_OK) {
        error_ = "cannot read " + path + " (libmysofa error " + std::to_string(err) + ")";
        if (hrtf) mysofa_free(hrtf);
        return;
    }
    const bool spherical = std::strcmp(attribute(hrtf->SourcePosition.attributes, "Type"), "spherical") == 0;
    if (hrtf->R != 2 || hrtf->C != 3 || hrtf->DataSamplingRate.elements < 1 || !spherical ||
        hrtf->ReceiverPosition.elements < 6 || hrtf->SourcePosition.elements != 3 * hrtf->M ||
        hrtf->DataIR.elements != hrtf->M * hrtf->R * hrtf->N) {
        error_ = path + " is not a two-ear set of impulse responses with spherical source positions";
        mysofa_free(hrtf);
        return;
    }
    taps_ = static_cast<int>(hrtf->N);
    sampleRate_ = hrtf->DataSamplingRate.values[0];
    // Receiver positions are Cartesian with y to the left: the receiver with
    // the larger y is the left ear.
    const int left = hrtf->ReceiverPosition.values[1] >= hrtf->ReceiverPosition.values[4] ? 0 : 1;

    const int count = static_cast<int>(hrtf->M);
    directions_.resize(3 * static_cast<size_t>(count));
    responses_.resize(2 * static_cast<size_t>(count) * taps_);
    for (int m = 0; m < count; ++m) {
        // Azimuth counter-clockwise from ahead (90 = left), elevation up, in degrees.
        const double azimuth = hrtf->SourcePosition.values[3 * m] * kDegree;
        const double elevation = hrtf->SourcePosition.values[3 * m + 1] * kDegree;
        double* d = &directions_[3 * static_cast<size_t>(m)];
        d[0] = std::cos(elevation) * std::cos(azimuth);
        d[1] = std::cos(elevation) * std::sin(azimuth);
        d[2] = std::sin(elevation);
        for (int ear = 0; ear < 2; ++ear) {
            const int receiver = ear == 0 ? left : 1 - left;
            const float* from = hrtf->DataIR.values + (static_cast<size_t>(m) * 2 + receiver) * taps_;
            double* to = &responses_[(2 * static_cast<size_t>(m) + ear) * taps_];
            for (int k = 0; k < taps_; ++k) to[k] = from[k];
        }
    }
    mysofa_free(hrtf);
}
