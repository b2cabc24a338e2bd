#pragma once

// Sine, cosine and arc tangent built from additions, multiplications,
// divisions and floor only, so that they round the same on every platform
// with IEEE double arithmetic (x86-64, and i686 with SSE2). The C library's
// versions differ between runtimes in the last bit, and an effect that must
// give the same samples in the plug-in and in the command line cannot use
// them per sample. Accurate to about one unit in the last place.
namespace portabletrig {

struct SinCos {
    double sin;
    double cos;
};

// Sine and cosine of x. Meant for angles of a few turns; the reduction keeps
// its accuracy up to |x| of about 1e5 and stays finite beyond.
SinCos sinCos(double x);

// The angle of (x, y) in [-pi, pi], as atan2(y, x); 0 for (0, 0).
double atan2(double y, double x);

}  // namespace portabletrig
