#include "tools/morv/render/stream_renderer.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "host/engine.h"

namespace {

// Host-width sample from a 32-bit one, and back (as unsigned to keep the
// shifts defined for negative values).
void storeSample(unsigned char* p, int bits, int32_t v) {
    switch (bits) {
        case 16: {
            const int16_t s = static_cast<int16_t>(v >> 16);
            std::memcpy(p, &s, 2);
            break;
        }
        case 24: {
            const uint32_t u = static_cast<uint32_t>(v) >> 8;
            p[0] = static_cast<unsigned char>(u);
            p[1] = static_cast<unsigned char>(u >> 8);
            p[2] = static_cast<unsigned char>(u >> 16);
            break;
        }
        default: std::memcpy(p, &v, 4); break;
    }
}

int32_t loadSample(const unsigned char* p, int bits) {
    switch (bits) {
        case 16: {
            int16_t s;
            std::memcpy(&s, p, 2);
            return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(s)) << 16);
        }
        case 24: {
            const uint32_t u = static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                               static_cast<uint32_t>(p[2]) << 24;
            return static_cast<int32_t>(u);
        }
        default: {
            int32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }
}

}  // namespace

StreamRenderer::StreamRenderer(Engine& engine, int sampleRate, int channels, int bits, int blockFrames)
    : engine_(engine),
      sampleRate_(sampleRate),
      channels_(channels),
      bits_(bits),
      blockFrames_(blockFrames),
      bytesPerSample_(bits / 8),
      hostBuffer_(static_cast<size_t>(2) * blockFrames * channels * (bits / 8)),
      output_(static_cast<size_t>(2) * blockFrames * channels) {}

int StreamRenderer::run(const int32_t* input, int frames) {
    const int count = frames * channels_;
    unsigned char* host = hostBuffer_.data();
    for (int i = 0; i < count; ++i) storeSample(host + i * bytesPerSample_, bits_, input[i]);

    const auto start = std::chrono::steady_clock::now();
    const int produced = engine_.modifySamples(reinterpret_cast<short*>(host), frames, bits_, channels_, sampleRate_);
    processingSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const int producedCount = produced * channels_;
    for (int i = 0; i < producedCount; ++i) {
        const int32_t v = loadSample(host + i * bytesPerSample_, bits_);
        output_[i] = v;
    }
    return produced;
}
