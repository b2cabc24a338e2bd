// morv_wav_compare PLUGIN_OUT REFERENCE SHIFT [FRAMES]: the largest difference, in
// steps of 24 bits, between frame SHIFT + i of the plug-in's output and
// frame i of the reference, over every frame both hold; fails on a sample
// that is not finite or on files of different shapes. SHIFT "auto" lines the
// files up by their first sample above silence and allows different lengths
// (a recording with silence around it). FRAMES limits the comparison to the
// reference's first frames.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// The first frame holding a sample above a quarter of a 24-bit step.
static long firstSound(const std::vector<double>& samples, int channels) {
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) * 8388608.0 > 0.25) return static_cast<long>(i / channels);
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: morv_wav_compare PLUGIN_OUT REFERENCE SHIFT [FRAMES]\n");
        return 2;
    }
    SF_INFO a{}, b{};
    const std::vector<double> out = readAll(argv[1], &a);
    const std::vector<double> ref = readAll(argv[2], &b);
    const bool automatic = std::string(argv[3]) == "auto";
    long shift = automatic ? firstSound(out, a.channels) - firstSound(ref, b.channels) : std::atol(argv[3]);
    if (a.channels != b.channels || (!automatic && a.frames != b.frames)) {
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
    long frames = static_cast<long>(a.frames) - shift;
    if (frames > static_cast<long>(b.frames)) frames = static_cast<long>(b.frames);
    if (argc == 5 && frames > std::atol(argv[4])) frames = std::atol(argv[4]);
    if (shift < 0 || frames <= 0) {
        std::printf("nothing to compare (shift %ld)\n", shift);
        return 1;
    }
    for (long f = 0; f < frames; ++f) {
        for (int c = 0; c < a.channels; ++c) {
            const double d = std::fabs(out[(f + shift) * a.channels + c] - ref[f * a.channels + c]) * steps;
            if (d > worst) {
                worst = d;
                worstAt = f;
            }
        }
    }
    std::printf("max_lsb=%.3f at_frame=%ld frames=%ld shift=%ld\n", worst, worstAt, frames, shift);
    return 0;
}
