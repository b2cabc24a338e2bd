#include "tools/morv/declared_length.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Chunks before the audio are few and short; give up after this many.
constexpr int kMaxChunks = 64;

uint32_t little32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint32_t big32(const unsigned char* p) {
    return static_cast<uint32_t>(p[3]) | static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[0]) << 24;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// RIFF WAVE: data bytes / block align, from the "fmt " and "data" chunks.
int64_t waveFrames(FILE* f) {
    unsigned blockAlign = 0;
    unsigned char chunk[8];
    for (int i = 0; i < kMaxChunks && std::fread(chunk, 1, 8, f) == 8; ++i) {
        const uint32_t size = little32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (blockAlign == 0 || size == 0 || size == 0xFFFFFFFFu) return -1;
            return size / blockAlign;
        }
        long skip = static_cast<long>(size + (size & 1));
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char fmt[16];
            if (std::fread(fmt, 1, 16, f) != 16) return -1;
            blockAlign = static_cast<unsigned>(fmt[12]) | static_cast<unsigned>(fmt[13]) << 8;
            skip -= 16;
        }
        if (std::fseek(f, skip, SEEK_CUR) != 0) return -1;
    }
    return -1;
}

// AIFF and AIFF-C: the sample frame count of the "COMM" chunk.
int64_t aiffFrames(FILE* f) {
    unsigned char chunk[8];
    for (int i = 0; i < kMaxChunks && std::fread(chunk, 1, 8, f) == 8; ++i) {
        const uint32_t size = big32(chunk + 4);
        if (std::memcmp(chunk, "COMM", 4) == 0) {
            unsigned char comm[6];
            if (size < 6 || std::fread(comm, 1, 6, f) != 6) return -1;
            return big32(comm + 2);
        }
        if (std::fseek(f, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) return -1;
    }
    return -1;
}

}  // namespace

int64_t declaredFrames(const std::string& path) {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    unsigned char head[12];
    if (!f || std::fread(head, 1, 12, f.get()) != 12) return -1;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) return waveFrames(f.get());
    if (std::memcmp(head, "FORM", 4) == 0 &&
        (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0)) {
        return aiffFrames(f.get());
    }
    return -1;
}
