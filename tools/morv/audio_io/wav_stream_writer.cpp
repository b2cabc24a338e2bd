#include "tools/morv/audio_io/wav_stream_writer.h"

#include <unistd.h>

#include <cstring>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint32_t kOpenLength = 0xFFFFFFFFu;
constexpr int kHeaderBytes = 44;

void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

}  // namespace

WavStreamWriter::WavStreamWriter(int fd, int sampleRate, int channels, int bits, bool floatingPoint,
                                 int64_t expectedFrames)
    : fd_(fd), channels_(channels), bits_(floatingPoint ? 32 : bits), floatingPoint_(floatingPoint) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels * (bits_ / 8));
    const int64_t dataBytes = expectedFrames >= 0 ? expectedFrames * blockAlign : -1;
    const bool known = dataBytes >= 0 && dataBytes <= kOpenLength - kHeaderBytes;
    unsigned char header[kHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, known ? static_cast<uint32_t>(dataBytes + kHeaderBytes - 8) : kOpenLength);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, floatingPoint_ ? kFormatFloat : kFormatPcm);
    put16(header + 22, static_cast<uint32_t>(channels));
    put32(header + 24, static_cast<uint32_t>(sampleRate));
    put32(header + 28, static_cast<uint32_t>(sampleRate) * blockAlign);
    put16(header + 32, blockAlign);
    put16(header + 34, static_cast<uint32_t>(bits_));
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, known ? static_cast<uint32_t>(dataBytes) : kOpenLength);
    bytes_.assign(header, header + kHeaderBytes);
}

bool WavStreamWriter::write(const int32_t* interleaved, int frames) {
    const int bytesPerSample = bits_ / 8;
    const size_t start = bytes_.size();
    bytes_.resize(start + static_cast<size_t>(frames) * channels_ * bytesPerSample);
    unsigned char* p = bytes_.data() + start;
    for (int i = 0; i < frames * channels_; ++i, p += bytesPerSample) {
        if (floatingPoint_) {
            const float f = static_cast<float>(interleaved[i] / 2147483648.0);
            uint32_t u;
            std::memcpy(&u, &f, 4);
            put32(p, u);
            continue;
        }
        // The top bits of the 32-bit sample, little-endian.
        const uint32_t u = static_cast<uint32_t>(interleaved[i]);
        for (int b = 0; b < bytesPerSample; ++b) {
            p[b] = static_cast<unsigned char>(u >> (32 - 8 * (bytesPerSample - b)));
        }
    }
    return flush();
}

bool WavStreamWriter::flush() {
    size_t done = 0;
    while (done < bytes_.size()) {
        const ssize_t put = ::write(fd_, bytes_.data() + done, bytes_.size() - done);
        if (put <= 0) break;
        done += static_cast<size_t>(put);
    }
    const bool whole = done == bytes_.size();
    bytes_.clear();
    return whole;
}
