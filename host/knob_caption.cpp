#include "host/knob_caption.h"

#include <cmath>
#include <cstdio>

#include "framework/slider_scale.h"

namespace {

// Truncation toward zero that stays defined beyond the int range.
int truncated(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(x);
}

}  // namespace

int formatKnobCaption(double v, char* text, std::size_t size) {
    const double magnitude = std::fabs(v);
    int length;
    if (!(magnitude > 9.0)) {
        length = std::snprintf(text, size, "%3.1f", v);
    } else if (magnitude <= 99.0) {
        length = std::snprintf(text, size, "%2d", truncated(v));
    } else if (magnitude <= 999.0) {
        length = std::snprintf(text, size, "%3d", truncated(v));
    } else if (magnitude <= 1000000.0) {
        length = std::snprintf(text, size, "%3dk", truncated(v * 0.001));
    } else {
        length = std::snprintf(text, size, "%3dM", truncated(v * 1e-6));
    }
    if (length < 0) return 0;
    return static_cast<std::size_t>(length) < size ? length : static_cast<int>(size) - 1;
}

double gainKnobDecibels(int position) { return kGainRangeDecibels - position / kGainPositionsPerDecibel; }
