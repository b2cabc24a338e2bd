#pragma once

// The R-point forward DFT for an odd radix without a dedicated kernel (the
// factor left over after the fast radices, up to kMaxRadix), and the stages
// that use it. The cosine and sine table is rebuilt only when the radix
// changes; all scratch lives inside the object, so no call allocates.
class OddRadixKernel {
public:
    static constexpr int kMaxRadix = 101;

    // In place on r[0 .. radix - 1], i[0 .. radix - 1].
    void transform(double* r, double* i, int radix);

    // Stage 1 on work arrays that already hold the digit-reversed sequence:
    // groups of radix consecutive values, groups in a row.
    void runFirstStage(double* re, double* im, int radix, int groups);

    // A stage with sofar S, radix R and remain Q in place on the work arrays,
    // with the butterfly twiddles w^d, d = 0 .. S - 1, at twr, twi.
    void runStage(double* re, double* im, int S, int R, int Q, const double* twr, const double* twi);

private:
    static constexpr int kHalfMaxRadix = kMaxRadix / 2 + 1;

    void buildTable(int radix);

    double cos_[kMaxRadix] = {};
    double sin_[kMaxRadix] = {};  // -sin(2 pi j / R)
    // The gathered values of one butterfly, and the outputs being formed.
    double gatheredRe_[kMaxRadix] = {};
    double gatheredIm_[kMaxRadix] = {};
    double outRe_[kMaxRadix] = {};
    double outIm_[kMaxRadix] = {};
    double sumRe_[kHalfMaxRadix] = {};
    double sumIm_[kHalfMaxRadix] = {};
    double diffRe_[kHalfMaxRadix] = {};
    double diffIm_[kHalfMaxRadix] = {};
    int cachedRadix_ = 0;
};
