#pragma once

// One second-order section with normalised coefficients (a0 is always 1.0),
// run in transposed direct form II:
//   y = b0*x + z1;  z1 = b1*x + z2 - a1*y;  z2 = b2*x - a2*y.
struct BiquadSection {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0;
    double a0 = 1.0, a1 = 0.0, a2 = 0.0;

    // Low shelf at frequency (Hz): gain 10^(gainDb/20) at 0 Hz, 1 at half the rate.
    static BiquadSection lowShelf(double frequency, double sampleRate, double gainDb);
    // High shelf: gain 1 at 0 Hz, 10^(gainDb/20) at half the rate.
    static BiquadSection highShelf(double frequency, double sampleRate, double gainDb);
    // Peaking section whose width is given in octaves.
    static BiquadSection peaking(double frequency, double sampleRate, double bandwidthOctaves, double gainDb);

    // Quality factor of a peaking section of the given width in octaves.
    static double qualityFactor(double bandwidthOctaves);

    // Magnitude of the transfer function at frequency (Hz).
    double magnitudeAt(double frequency, double sampleRate) const;
};

// The two state values of one section on one channel; they persist across blocks.
struct BiquadState {
    double z1 = 0.0;
    double z2 = 0.0;
};

// Filters one sample through a section, updating its state.
inline double runSection(const BiquadSection& s, BiquadState& state, double x) {
    const double y = s.b0 * x + state.z1;
    state.z1 = s.b1 * x + state.z2 - s.a1 * y;
    state.z2 = s.b2 * x - s.a2 * y;
    return y;
}
