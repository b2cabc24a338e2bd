// morv_wav_compare PLUGIN_OUT REFERENCE SHIFT: the largest difference, in
// steps of 24 bits, between frame SHIFT + i of the plug-in's output and
// frame i of the reference, over every frame both hold; fails on a sample
// that is not finite or on files of different shapes.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

static std::vector<double> readAll(const char* path, SF_INFO* info) {
    SNDFILE* file = sf_open(path, SFM_READ, info);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path);
        std::exit(2);
    }
    std::vector<double> samples(static_cast<size_t>(info->frames) * info->channels);
    sf_readf_double(file, samples.data(), info->frames);
    sf_close(file);
    return samples;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: morv_wav_compare PLUGIN_OUT REFERENCE SHIFT\n");
        return 2;
    }
    SF_INFO a{}, b{};
    const std::vector<double> out = readAll(argv[1], &a);
    const std::vector<double> ref = readAll(argv[2], &b);
    const long shift = std::atol(argv[3]);
    if (a.channels != b.channels || a.frames != b.frames) {
        std::printf("shapes differ: %ld x %d against %ld x %d\n", static_cast<long>(a.frames), a.channels,
                    static_cast<long>(b.frames), b.channels);
        return 1;
    }
    const double steps = 8388608.0;  // 2^23: one step of 24 bits
    double worst = 0.0;
    long worstAt = -1;
    for (size_t i = 0; i < out.size(); ++i) {
        if (!std::isfinite(out[i])) {
            std::printf("sample %zu is not finite\n", i);
            return 1;
        }
    }
    const long frames = static_cast<long>(a.frames) - shift;
    for (long f = 0; f < frames; ++f) {
        for (int c = 0; c < a.channels; ++c) {
            const double d = std::fabs(out[(f + shift) * a.channels + c] - ref[f * a.channels + c]) * steps;
            if (d > worst) {
                worst = d;
                worstAt = f;
            }
        }
    }
    std::printf("max_lsb=%.3f at_frame=%ld frames=%ld\n", worst, worstAt, frames);
    return 0;
}
