#pragma once

#include <cmath>
#include <complex>

// Bin access to a spectrum of N (even) doubles in the packed layout that
// RealFft::forward writes: bin 0 at [0] and bin N/2 at [N-1] are real, bin k
// for k = 1 .. N/2 - 1 is the pair ([2k-1], [2k]). There are N/2 + 1 bins.
// T is double, or const double for read-only access.

inline int packedBinCount(int length) { return length / 2 + 1; }

// Bin 0 or bin N/2: a real value whose imaginary part is 0.
template <class T>
struct RealBin {
    T& re;
    std::complex<double> value() const { return {re, 0.0}; }
    double power() const { return re * re; }
    double magnitude() const { return std::fabs(re); }
    void scale(double gain) const { re *= gain; }
    // Keeps the real part; the imaginary part has no place in the layout.
    void set(std::complex<double> v) const { re = v.real(); }
};

// Bin k for 0 < k < N/2.
template <class T>
struct ComplexBin {
    T& re;
    T& im;
    std::complex<double> value() const { return {re, im}; }
    double power() const { return re * re + im * im; }
    double magnitude() const { return std::sqrt(re * re + im * im); }
    // atan2(im, re), and 0 for a bin whose two parts are both 0.
    double phase() const { return re == 0.0 && im == 0.0 ? 0.0 : std::atan2(im, re); }
    void scale(double gain) const {
        re *= gain;
        im *= gain;
    }
    void set(std::complex<double> v) const {
        re = v.real();
        im = v.imag();
    }
    void setPolar(double magnitude, double phase) const {
        re = magnitude * std::cos(phase);
        im = magnitude * std::sin(phase);
    }
};

// Bin k of the spectrum, 0 < k < N/2.
template <class T>
ComplexBin<T> complexBin(T* spectrum, int k) {
    return ComplexBin<T>{spectrum[2 * k - 1], spectrum[2 * k]};
}

// Bin k of the spectrum as a complex number, 0 <= k <= N/2.
inline std::complex<double> binValue(const double* spectrum, int length, int k) {
    if (k == 0) return {spectrum[0], 0.0};
    if (k == length / 2) return {spectrum[length - 1], 0.0};
    return complexBin(spectrum, k).value();
}

// Writes bin k, 0 <= k <= N/2; for bins 0 and N/2 only the real part is kept.
inline void setBinValue(double* spectrum, int length, int k, std::complex<double> v) {
    if (k == 0)
        spectrum[0] = v.real();
    else if (k == length / 2)
        spectrum[length - 1] = v.real();
    else
        complexBin(spectrum, k).set(v);
}

// Calls visit(k, bin) for the bins k = 1 .. N/2 - 1 in ascending order.
template <class T, class Visit>
void forEachComplexBin(T* spectrum, int length, Visit&& visit) {
    const int last = length / 2;
    for (int k = 1; k < last; ++k) visit(k, complexBin(spectrum, k));
}

// Calls visit(k, bin) for every bin k = 0 .. N/2 in ascending order, with a
// RealBin for bins 0 and N/2 and a ComplexBin for the others; visit is
// usually a generic lambda, compiled once for each kind of bin.
template <class T, class Visit>
void forEachBin(T* spectrum, int length, Visit&& visit) {
    visit(0, RealBin<T>{spectrum[0]});
    forEachComplexBin(spectrum, length, visit);
    visit(length / 2, RealBin<T>{spectrum[length - 1]});
}
