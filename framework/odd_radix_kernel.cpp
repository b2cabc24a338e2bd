#include "framework/odd_radix_kernel.h"

#include <cmath>

#include "framework/fft_butterfly.h"
#include "framework/portable_math.h"

namespace {

using portable::kPi;

}  // namespace

// cos(2 pi j / R) and -sin(2 pi j / R) by repeated rotation from j = 1.
void OddRadixKernel::buildTable(int radix) {
    const double omega = 2.0 * kPi / radix;
    double sn, c;
    portable::sinCos(omega, &sn, &c);
    sn = -sn;
    cos_[0] = 1.0;
    sin_[0] = 0.0;
    cos_[1] = c;
    sin_[1] = sn;
    for (int j = 2; j < radix; ++j) {
        cos_[j] = cos_[j - 1] * c - sin_[j - 1] * sn;
        sin_[j] = cos_[j - 1] * sn + sin_[j - 1] * c;
    }
    cachedRadix_ = radix;
}

// With the pair sums s_j = z_j + z_{R-j} and differences d_j = z_j - z_{R-j},
// j = 1 .. (R - 1) / 2: a_u = z0 + sum cos(2 pi j u / R) s_j is the
// real-symmetric part, b_u = sum -sin(2 pi j u / R) d_j the odd one, and
// outputs u and R - u are a_u + i b_u and a_u - i b_u. Output 0 is the sum.
void OddRadixKernel::transform(double* r, double* i, int radix) {
    if (radix != cachedRadix_) buildTable(radix);
    const int half = (radix - 1) / 2;
    double y0r = r[0], y0i = i[0];
    for (int j = 1; j <= half; ++j) {
        sumRe_[j] = r[j] + r[radix - j];
        sumIm_[j] = i[j] + i[radix - j];
        diffRe_[j] = r[j] - r[radix - j];
        diffIm_[j] = i[j] - i[radix - j];
        y0r += sumRe_[j];
        y0i += sumIm_[j];
    }
    for (int u = 1; u <= half; ++u) {
        double ar = r[0], ai = i[0], br = 0.0, bi = 0.0;
        int ju = 0;
        for (int j = 1; j <= half; ++j) {
            ju += u;
            if (ju >= radix) ju -= radix;
            ar += cos_[ju] * sumRe_[j];
            ai += cos_[ju] * sumIm_[j];
            br += sin_[ju] * diffRe_[j];
            bi += sin_[ju] * diffIm_[j];
        }
        outRe_[u] = ar - bi;
        outIm_[u] = ai + br;
        outRe_[radix - u] = ar + bi;
        outIm_[radix - u] = ai - br;
    }
    r[0] = y0r;
    i[0] = y0i;
    for (int u = 1; u < radix; ++u) {
        r[u] = outRe_[u];
        i[u] = outIm_[u];
    }
}

void OddRadixKernel::runFirstStage(double* re, double* im, int radix, int groups) {
    for (int g = 0; g < groups; ++g) transform(re + g * radix, im + g * radix, radix);
}

void OddRadixKernel::runStage(double* re, double* im, int S, int R, int Q, const double* twr, const double* twi) {
    const int span = S * R;
    for (int g = 0; g < Q; ++g) {
        for (int d = 0; d < S; ++d) {
            const int b = g * span + d;
            double wr = 1.0, wi = 0.0;  // w^(j d), by successive products
            for (int j = 0; j < R; ++j) {
                gatheredRe_[j] = re[b + j * S];
                gatheredIm_[j] = im[b + j * S];
                if (j > 0 && d > 0) {
                    const double nr = wr * twr[d] - wi * twi[d];
                    wi = wr * twi[d] + wi * twr[d];
                    wr = nr;
                    fftkernels::twiddle(gatheredRe_[j], gatheredIm_[j], wr, wi);
                }
            }
            transform(gatheredRe_, gatheredIm_, R);
            for (int j = 0; j < R; ++j) {
                re[b + j * S] = gatheredRe_[j];
                im[b + j * S] = gatheredIm_[j];
            }
        }
    }
}
