#include "tools/morv/audio_io/declared_length.h"

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

uint64_t little64(const unsigned char* p) { return little32(p) | static_cast<uint64_t>(little32(p + 4)) << 32; }

// What the "fmt " chunk of a WAVE says.
struct WaveFormat {
    bool seen = false;
    unsigned channels = 0;
    uint32_t rate = 0;
    unsigned blockAlign = 0;
};

// Walks the chunks of a RIFF or RF64 WAVE up to "data"; returns its length
// in bytes (an RF64 file gives it in its "ds64" chunk), or -1 when there is
// none or it is left open. A length of 0 is open unless the file ends right
// there: then the file holds no frames.
int64_t walkWave(FILE* f, WaveFormat* format) {
    int64_t longDataBytes = -1;
    unsigned char chunk[8];
    for (int i = 0; i < kMaxChunks && std::fread(chunk, 1, 8, f) == 8; ++i) {
        const uint32_t size = little32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (size == 0xFFFFFFFFu) return longDataBytes;
            if (size == 0) return std::fgetc(f) == EOF ? 0 : -1;
            return size;
        }
        long skip = static_cast<long>(size + (size & 1));
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            unsigned char fmt[16];
            if (std::fread(fmt, 1, 16, f) != 16) return -1;
            format->seen = true;
            format->channels = static_cast<unsigned>(fmt[2]) | static_cast<unsigned>(fmt[3]) << 8;
            format->rate = little32(fmt + 4);
            format->blockAlign = static_cast<unsigned>(fmt[12]) | static_cast<unsigned>(fmt[13]) << 8;
            skip -= 16;
        } else if (std::memcmp(chunk, "ds64", 4) == 0 && size >= 16) {
            unsigned char ds64[16];
            if (std::fread(ds64, 1, 16, f) != 16) return -1;
            const uint64_t bytes = little64(ds64 + 8);
            if (bytes < (uint64_t{1} << 62)) longDataBytes = static_cast<int64_t>(bytes);
            skip -= 16;
        }
        if (std::fseek(f, skip, SEEK_CUR) != 0) return -1;
    }
    return -1;
}

bool isWave(const unsigned char* head) {
    return (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0) &&
           std::memcmp(head + 8, "WAVE", 4) == 0;
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
    if (isWave(head)) {
        WaveFormat format;
        const int64_t bytes = walkWave(f.get(), &format);
        return bytes >= 0 && format.blockAlign > 0 ? bytes / format.blockAlign : -1;
    }
    if (std::memcmp(head, "FORM", 4) == 0 &&
        (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0)) {
        return aiffFrames(f.get());
    }
    return -1;
}

std::string declaredFormatProblem(const std::string& path) {
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    unsigned char head[12];
    if (!f || std::fread(head, 1, 12, f.get()) != 12 || !isWave(head)) return "";
    WaveFormat format;
    walkWave(f.get(), &format);
    if (!format.seen) return "";
    if (format.channels == 0) return "its header gives 0 channels";
    if (format.rate == 0) return "its header gives a sample rate of 0 Hz";
    return "";
}
