#pragma once
// Samples on the 32-bit scale (full scale 2^31) to and from the little-endian
// bytes of a 16-, 24- or 32-bit buffer: what an integer WAV holds and what the
// player's sample buffer holds. Only the top bits go out; coming in, the
// sample fills the top of a zeroed word (what sf_readf_int gives).

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

inline void packSamples(const int32_t* in, size_t count, int width, unsigned char* out) {
    size_t i = 0;
    if (width == 2) {
        int16_t* to = reinterpret_cast<int16_t*>(out);
#if defined(__SSE2__)
        for (; i + 8 <= count; i += 8) {
            const __m128i a = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), 16);
            const __m128i b = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4)), 16);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packs_epi32(a, b));
        }
#endif
        for (; i < count; ++i) to[i] = static_cast<int16_t>(in[i] >> 16);
    } else if (width == 3) {
        // Unsigned shifts keep negative values defined.
        for (; i < count; ++i) {
            const uint32_t u = static_cast<uint32_t>(in[i]);
            out[3 * i] = static_cast<unsigned char>(u >> 8);
            out[3 * i + 1] = static_cast<unsigned char>(u >> 16);
            out[3 * i + 2] = static_cast<unsigned char>(u >> 24);
        }
    } else {
        std::memcpy(out, in, count * sizeof(int32_t));
    }
}

inline void unpackSamples(const unsigned char* in, size_t count, int width, int32_t* out) {
    size_t i = 0;
    if (width == 2) {
        const int16_t* from = reinterpret_cast<const int16_t*>(in);
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; i + 8 <= count; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(zero, v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(zero, v));
        }
#endif
        for (; i < count; ++i) out[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(from[i])) << 16);
    } else if (width == 3) {
        for (; i < count; ++i) {
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(in[3 * i]) << 8 | static_cast<uint32_t>(in[3 * i + 1]) << 16 |
                                          static_cast<uint32_t>(in[3 * i + 2]) << 24);
        }
    } else {
        std::memcpy(out, in, count * sizeof(int32_t));
    }
}
