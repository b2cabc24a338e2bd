#pragma once

// Powers and angles computed with additions, multiplications, divisions and
// comparisons only. The C libraries of the two builds (glibc natively, the
// mingw runtime in the plug-in) round pow, sin, cos and atan2 differently in
// the last bit now and then (about one value in a hundred of a window's
// cosines); these kernels give the same bits in both, so the plug-in's output
// equals the command line's even where it lies next to an integer and the
// host's truncation would tell the last bit apart. Accuracy is within a few
// units in the last place (Cody-Waite reduction, the classic fdlibm minimax
// polynomials, a Taylor series for the power).

namespace portable {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 6.28318530717958647692;

namespace detail {

// pi/2 in three parts; the first two have 33 bits, so k * part is exact for
// |k| < 2^20.
constexpr double kHalfPi1 = 1.57079632673412561417e+00;
constexpr double kHalfPi2 = 6.07710050630396597660e-11;
constexpr double kHalfPi3 = 2.02226624871116645580e-21;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
// pi/4 in a leading and a trailing part, and tan(pi/8).
constexpr double kQuarterPiHigh = 7.85398163397448278999e-01;
constexpr double kQuarterPiLow = 3.06161699786838301793e-17;
constexpr double kTanEighthPi = 4.14213562373095034e-01;

// The integer nearest to x, halves away from zero; |x| < 2^31.
inline int nearestInt(double x) { return static_cast<int>(x + (x < 0.0 ? -0.5 : 0.5)); }

// sin and cos of r, |r| <= pi/4.
inline double sinKernel(double r) {
    const double z = r * r;
    const double tail = 8.33333333332248946124e-03 +
                        z * (-1.98412698298579493134e-04 +
                             z * (2.75573137070700676789e-06 +
                                  z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
    return r + z * r * (-1.66666666666666324348e-01 + z * tail);
}

inline double cosKernel(double r) {
    const double z = r * r;
    const double tail =
        z * (4.16666666666666019037e-02 +
             z * (-1.38888888888741095749e-03 +
                  z * (2.48015872894767294178e-05 +
                       z * (-2.75573143513906633035e-07 +
                            z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11)))));
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    return w + (((1.0 - w) - half) + z * tail);
}

// atan(u) - u, |u| <= 0.4375, as -u p(u^2).
inline double atanTail(double u) {
    const double z = u * u;
    const double w = z * z;
    const double odd =
        z * (3.33333333333329318027e-01 +
             w * (1.42857142725034663711e-01 +
                  w * (9.09088713343650656196e-02 +
                       w * (6.66107313738753120669e-02 +
                            w * (4.97687799461593236017e-02 + w * 1.62858201153657823623e-02)))));
    const double even =
        w * (-1.99999999998764832476e-01 +
             w * (-1.11111104054623557880e-01 +
                  w * (-7.69187620504482999495e-02 +
                       w * (-5.83357013379057348645e-02 + w * -3.65315727442169155270e-02))));
    return u * (odd + even);
}

}  // namespace detail

// The kernels below choose between values rather than branch, so that loops
// over spectra run without mispredicted jumps and may be vectorised; every
// step stays one IEEE operation, whichever way the compiler lays it out.

// 2^x for |x| below about 1000.
inline double powerOfTwo(double x) {
    constexpr double kLn2 = 6.93147180559945286227e-01;
    int k = detail::nearestInt(x);
    const double r = (x - k) * kLn2;  // |r| <= ln 2 / 2
    // e^r by its Taylor series to r^14 / 14!, below half a unit for |r| <= 0.35.
    double sum = 1.0 / 87178291200.0;
    const double inverseFactorials[] = {1.0 / 6227020800.0, 1.0 / 479001600.0, 1.0 / 39916800.0, 1.0 / 3628800.0,
                                        1.0 / 362880.0,     1.0 / 40320.0,     1.0 / 5040.0,      1.0 / 720.0,
                                        1.0 / 120.0,        1.0 / 24.0,        1.0 / 6.0,         0.5,
                                        1.0,                1.0};
    for (double term : inverseFactorials) sum = sum * r + term;
    // Scale by 2^k one exact halving or doubling at a time.
    for (; k > 0; --k) sum *= 2.0;
    for (; k < 0; ++k) sum *= 0.5;
    return sum;
}

// sin and cos of x at once; |x| below about 1e6.
inline void sinCos(double x, double* s, double* c) {
    const int k = detail::nearestInt(x * detail::kTwoOverPi);
    const double r = ((x - k * detail::kHalfPi1) - k * detail::kHalfPi2) - k * detail::kHalfPi3;
    const double sr = detail::sinKernel(r);
    const double cr = detail::cosKernel(r);
    // Quadrant k mod 4: odd ones swap sine and cosine; the sine is negative
    // in quadrants 2 and 3, the cosine in 1 and 2.
    const int quadrant = k & 3;
    const double s0 = (quadrant & 1) ? cr : sr;
    const double c0 = (quadrant & 1) ? sr : cr;
    *s = (quadrant & 2) ? -s0 : s0;
    *c = ((quadrant + 1) & 2) ? -c0 : c0;
}

inline double cosine(double x) {
    double s, c;
    sinCos(x, &s, &c);
    return c;
}

// The angle of (re, im) in [-pi, pi]; 0 when both parts are 0. The smaller
// of |re|, |im| over the larger gives t in [0, 1]; above tan(pi/8) the angle
// is pi/4 plus that of (t - 1) / (t + 1), taken in one division.
inline double angle(double im, double re) {
    const double ay = im < 0.0 ? -im : im;
    const double ax = re < 0.0 ? -re : re;
    const bool steep = ay > ax;
    const double small = steep ? ax : ay;
    const double large = steep ? ay : ax;
    const bool upper = small > detail::kTanEighthPi * large;
    const double divisor = upper ? small + large : large;
    const double u = (upper ? small - large : small) / (divisor == 0.0 ? 1.0 : divisor);
    const double high = upper ? detail::kQuarterPiHigh : 0.0;
    const double low = upper ? detail::kQuarterPiLow : 0.0;
    double a = high - ((detail::atanTail(u) - low) - u);
    a = steep ? kPi / 2.0 - a : a;
    a = re < 0.0 ? kPi - a : a;
    a = im < 0.0 ? -a : a;
    return large == 0.0 ? 0.0 : a;
}

// x moved by a whole number of turns into [-pi, pi] (give or take the
// rounding); the turn is taken off in three parts, exactly for counts below 2^18.
inline double wrapTurns(double x) {
    const int n = detail::nearestInt(x * (1.0 / kTwoPi));
    return ((x - n * (4.0 * detail::kHalfPi1)) - n * (4.0 * detail::kHalfPi2)) - n * (4.0 * detail::kHalfPi3);
}

// The phase vocoder's wrap of a phase deviation into [-pi, pi]: q = d / pi
// truncated toward zero, moved one step away from zero when odd, and q pi
// taken off (d / pi = 2.5 gives d - 2 pi, 3.5 gives d - 4 pi, -1.2 gives d + 2 pi).
inline double wrapDeviation(double d) {
    int q = static_cast<int>(d / kPi);
    q += (q & 1) ? (q > 0 ? 1 : -1) : 0;
    return d - q * kPi;
}

}  // namespace portable
