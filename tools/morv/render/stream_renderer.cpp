#include "tools/morv/render/stream_renderer.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "host/engine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Host-width samples from 32-bit ones, and back, one loop per width so that
// the compiler can vectorise each (unsigned shifts keep negative values
// defined).
template <int Bits>
void storeSamples(unsigned char* __restrict host, const int32_t* __restrict input, int count) {
    if (Bits == 16) {
        int16_t* out = reinterpret_cast<int16_t*>(host);
        int i = 0;
#if defined(__SSE2__)
        for (; i + 8 <= count; i += 8) {
            const __m128i a = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(input + i)), 16);
            const __m128i b = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(input + i + 4)), 16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(a, b));
        }
#endif
        for (; i < count; ++i) out[i] = static_cast<int16_t>(input[i] >> 16);
    } else if (Bits == 24) {
        for (int i = 0; i < count; ++i) {
            const uint32_t u = static_cast<uint32_t>(input[i]) >> 8;
            host[3 * i] = static_cast<unsigned char>(u);
            host[3 * i + 1] = static_cast<unsigned char>(u >> 8);
            host[3 * i + 2] = static_cast<unsigned char>(u >> 16);
        }
    } else {
        std::memcpy(host, input, static_cast<size_t>(count) * 4);
    }
}

template <int Bits>
void loadSamples(const unsigned char* __restrict host, int32_t* __restrict output, int count) {
    if (Bits == 16) {
        const int16_t* in = reinterpret_cast<const int16_t*>(host);
        int i = 0;
#if defined(__SSE2__)
        // Each sample in the high half of a zeroed 32-bit lane.
        const __m128i zero = _mm_setzero_si128();
        for (; i + 8 <= count; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i), _mm_unpacklo_epi16(zero, v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i + 4), _mm_unpackhi_epi16(zero, v));
        }
#endif
        for (; i < count; ++i) output[i] = static_cast<int32_t>(static_cast<uint32_t>(in[i]) << 16);
    } else if (Bits == 24) {
        for (int i = 0; i < count; ++i) {
            output[i] = static_cast<int32_t>(static_cast<uint32_t>(host[3 * i]) << 8 |
                                             static_cast<uint32_t>(host[3 * i + 1]) << 16 |
                                             static_cast<uint32_t>(host[3 * i + 2]) << 24);
        }
    } else {
        std::memcpy(output, host, static_cast<size_t>(count) * 4);
    }
}

}  // namespace

StreamRenderer::StreamRenderer(Engine& engine, int sampleRate, int channels, int bits, int blockFrames)
    : engine_(engine),
      sampleRate_(sampleRate),
      channels_(channels),
      bits_(bits),
      blockFrames_(blockFrames),
      hostBuffer_(static_cast<size_t>(2) * blockFrames * channels * (bits / 8)),
      output_(static_cast<size_t>(2) * blockFrames * channels) {}

int StreamRenderer::run(const int32_t* input, int frames) {
    const int count = frames * channels_;
    unsigned char* host = hostBuffer_.data();
    switch (bits_) {
        case 16: storeSamples<16>(host, input, count); break;
        case 24: storeSamples<24>(host, input, count); break;
        default: storeSamples<32>(host, input, count); break;
    }

    const auto start = std::chrono::steady_clock::now();
    const int produced = engine_.modifySamples(reinterpret_cast<short*>(host), frames, bits_, channels_, sampleRate_);
    processingSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const int producedCount = produced * channels_;
    switch (bits_) {
        case 16: loadSamples<16>(host, output_.data(), producedCount); break;
        case 24: loadSamples<24>(host, output_.data(), producedCount); break;
        default: loadSamples<32>(host, output_.data(), producedCount); break;
    }
    return produced;
}
