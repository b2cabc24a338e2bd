#include "effects/restoration/weighted_sums.h"

#include "effects/restoration/quad_lanes.h"
#include "framework/double_pair.h"

namespace {

void weightedSumsPairs(const double* x, long stride, const double* w, int terms, int count, double* out) {
    int t = 0;
    for (; t + 4 <= count; t += 4) {
        DoublePair s0 = splatPair(0.0), s1 = s0;
        for (int i = 0; i < terms; ++i) {
            const DoublePair weight = splatPair(w[i]);
            const double* at = x + t + i * stride;
            s0 += weight * loadPair(at);
            s1 += weight * loadPair(at + 2);
        }
        storePair(out + t, s0);
        storePair(out + t + 2, s1);
    }
    for (; t < count; ++t) {
        double sum = 0.0;
        for (int i = 0; i < terms; ++i) sum += w[i] * x[t + i * stride];
        out[t] = sum;
    }
}

#ifdef MORV_QUAD_LANES
MORV_QUAD_TARGET void weightedSumsQuad(const double* x, long stride, const double* w, int terms, int count,
                                       double* out) {
    int t = 0;
    for (; t + 16 <= count; t += 16) {
        DoubleQuad s0 = splatQuad(0.0), s1 = s0, s2 = s0, s3 = s0;
        for (int i = 0; i < terms; ++i) {
            const DoubleQuad weight = splatQuad(w[i]);
            const double* at = x + t + i * stride;
            s0 += weight * loadQuad(at);
            s1 += weight * loadQuad(at + 4);
            s2 += weight * loadQuad(at + 8);
            s3 += weight * loadQuad(at + 12);
        }
        storeQuad(out + t, s0);
        storeQuad(out + t + 4, s1);
        storeQuad(out + t + 8, s2);
        storeQuad(out + t + 12, s3);
    }
    for (; t + 4 <= count; t += 4) {
        DoubleQuad s = splatQuad(0.0);
        for (int i = 0; i < terms; ++i) s += splatQuad(w[i]) * loadQuad(x + t + i * stride);
        storeQuad(out + t, s);
    }
    weightedSumsPairs(x + t, stride, w, terms, count - t, out + t);
}
#endif

}  // namespace

void weightedSums(const double* x, long stride, const double* w, int terms, int count, double* out) {
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) return weightedSumsQuad(x, stride, w, terms, count, out);
#endif
    weightedSumsPairs(x, stride, w, terms, count, out);
}
