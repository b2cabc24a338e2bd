#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

// The per-block conversions of the engine's pipeline: integer PCM (8, 16, 24
// or 32 bits, interleaved) into doubles on the integer scale and back with
// the master gain, the clamp to the width, and the peaks for the meters. It
// owns the work buffer, which grows and never shrinks.
class SamplePipeline {
public:
    static bool supportedWidth(int bps) { return bps == 8 || bps == 16 || bps == 24 || bps == 32; }
    static double fullScale(int bps);

    // Makes the work buffer hold three times n samples (n counted in an int);
    // false when that cannot be had.
    bool reserve(int n);
    double* work() { return work_.get(); }
    int capacity() const { return capacity_; }

    // n samples of width bps into the work buffer.
    void convertIn(int bps, const unsigned char* samples, int n);
    // produced samples of the work buffer back into samples, each channel c
    // multiplied by gain where channel c is selected by mask, clamped to
    // -F..F-1 and truncated toward zero.
    void convertOut(int bps, unsigned char* samples, int produced, int nch, int mask, double gain);
    // Samples whose value the clamp of convertOut changed, since construction.
    int64_t clampedSamples() const { return clamped_; }
    // Largest absolute sample at even and at odd positions among the first
    // count samples of width bps (0 for a width it does not handle).
    static void peaks(int bps, const unsigned char* samples, int count, double* left, double* right);

    void release();

private:
    struct Release {
        void operator()(double* p) const { std::free(p); }
    };
    // Allocated with malloc so that a failed allocation is an empty pointer
    // rather than an exception.
    std::unique_ptr<double[], Release> work_;
    int capacity_ = 0;
    int64_t clamped_ = 0;
};

// Level 0..100 (decibels + 100) of a peak against full scale.
int meterLevel(double peak, double fullScale);
