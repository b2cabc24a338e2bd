#include "effects/distortion/portable_trig.h"

#include <cmath>

// The polynomials are the classic minimax fits on [-pi/4, pi/4] (sine and
// cosine) and [0, 7/16] (arc tangent, after reducing the argument about 0.5,
// 1 and 1.5), evaluated in plain double arithmetic. Every operation used is
// rounded exactly by IEEE 754, so the results are the same bits everywhere as
// long as the compiler does not fuse multiply-adds (the builds do not).

namespace portabletrig {
namespace {

// pi/2 in three parts: the first two have 33 significant bits, so their
// products with the quadrant counts the reduction meets are exact, and an
// angle near a multiple of pi/2 keeps its small remainder accurately.
constexpr double kHalfPi1 = 1.57079632673412561417e+00;
constexpr double kHalfPi2 = 6.07710050630396597660e-11;
constexpr double kHalfPi3 = 2.02226624879595063154e-21;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kTwoPi = 6.28318530717958623200e+00;
// Beyond this the quadrant count would need more than 33 + 17 bits.
constexpr double kLargeAngle = 1.0e5;

// sin(r) for |r| <= pi/4.
double kernelSin(double r) {
    constexpr double S1 = -1.66666666666666324348e-01, S2 = 8.33333333332248946124e-03,
                     S3 = -1.98412698298579493134e-04, S4 = 2.75573137070700676789e-06,
                     S5 = -2.50507602534068634195e-08, S6 = 1.58969099521155010221e-10;
    const double z = r * r;
    const double v = z * r;
    const double p = S2 + z * (S3 + z * (S4 + z * (S5 + z * S6)));
    return r + v * (S1 + z * p);
}

// cos(r) for |r| <= pi/4; 1 - z/2 is split so that its rounding error is
// carried into the small terms.
double kernelCos(double r) {
    constexpr double C1 = 4.16666666666666019037e-02, C2 = -1.38888888888741095749e-03,
                     C3 = 2.48015872894767294178e-05, C4 = -2.75573143513906633035e-07,
                     C5 = 2.08757232129817482790e-09, C6 = -1.13596475577881948265e-11;
    const double z = r * r;
    const double p = z * (C1 + z * (C2 + z * (C3 + z * (C4 + z * (C5 + z * C6)))));
    const double hz = 0.5 * z;
    const double w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + z * p);
}

// atan(t) for t >= 0 (t may be infinite).
double atanPositive(double t) {
    static constexpr double kHigh[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01,
                                       9.82793723247329054082e-01, 1.57079632679489655800e+00};
    static constexpr double kLow[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17,
                                      1.39033110312309984516e-17, 6.12323399573676603587e-17};
    static constexpr double aT[] = {3.33333333333329318027e-01,  -1.99999999998764832476e-01,
                                    1.42857142725034663711e-01,  -1.11111104054623557880e-01,
                                    9.09088713343650656196e-02,  -7.69187620504482999495e-02,
                                    6.66107313738753120669e-02,  -5.83357013379057348645e-02,
                                    4.97687799461593236017e-02,  -3.65315727442169155270e-02,
                                    1.62858201153657823623e-02};
    int id;
    if (t < 0.4375) {
        id = -1;
    } else if (t < 0.6875) {
        id = 0;
        t = (2.0 * t - 1.0) / (2.0 + t);
    } else if (t < 1.1875) {
        id = 1;
        t = (t - 1.0) / (t + 1.0);
    } else if (t < 2.4375) {
        id = 2;
        t = (t - 1.5) / (1.0 + 1.5 * t);
    } else {
        id = 3;
        t = -1.0 / t;
    }
    // Odd and even powers summed apart.
    const double z = t * t;
    const double w = z * z;
    const double s1 = z * (aT[0] + w * (aT[2] + w * (aT[4] + w * (aT[6] + w * (aT[8] + w * aT[10])))));
    const double s2 = w * (aT[1] + w * (aT[3] + w * (aT[5] + w * (aT[7] + w * aT[9]))));
    if (id < 0) return t - t * (s1 + s2);
    return kHigh[id] - ((t * (s1 + s2) - kLow[id]) - t);
}

}  // namespace

SinCos sinCos(double x) {
    if (!(std::fabs(x) < kLargeAngle)) {
        if (std::isnan(x)) return {x, x};
        x = std::fmod(x, kTwoPi);  // exact; infinity gives NaN
        if (std::isnan(x)) return {x, x};
    }
    // x = r + n pi/2 with |r| <= pi/4 (to rounding).
    const double n = std::floor(x * kTwoOverPi + 0.5);
    const double r = ((x - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi3;
    // Quadrant q turns (sin r, cos r) by q quarter turns: odd q swaps them
    // and negates the cosine, q >= 2 negates both. Selected by index and
    // sign factor rather than by branches: random angles would mispredict.
    const int q = static_cast<int>(n) & 3;
    const int odd = q & 1;
    const double parts[2] = {kernelSin(r), kernelCos(r)};
    const double half = 1.0 - 2.0 * (q >> 1);
    return {half * parts[odd], half * (1.0 - 2.0 * odd) * parts[1 - odd]};
}

double atan2(double y, double x) {
    constexpr double kPi = 3.1415926535897931160e+00;
    constexpr double kPiLow = 1.2246467991473531772e-16;
    if (std::isnan(x) || std::isnan(y)) return x + y;
    if (y == 0.0 && x == 0.0) return 0.0;
    const double z = atanPositive(std::fabs(y / x));
    if (!std::signbit(x)) return std::signbit(y) ? -z : z;
    // Left half-plane: pi - z, with pi's low part kept.
    return std::signbit(y) ? (z - kPiLow) - kPi : kPi - (z - kPiLow);
}

}  // namespace portabletrig
