#pragma once

#include <cstdint>
#include <vector>

// A WAV file written front to back onto a file descriptor that cannot seek
// (standard output to a pipe): PCM at 16, 24 or 32 bits or 32-bit float. The
// header declares expectedFrames, or 0xFFFFFFFF bytes (a length left open, as
// streaming tools write) when it is unknown or too large.
class WavStreamWriter {
public:
    WavStreamWriter(int fd, int sampleRate, int channels, int bits, bool floatingPoint, int64_t expectedFrames);

    // Frames of interleaved 32-bit integers (full scale 2^31). Returns false
    // when the descriptor refuses them.
    bool write(const int32_t* interleaved, int frames);
    // Writes what is still held (the header, when no frame came). Returns
    // false when the descriptor refuses it.
    bool flush();

    int fd_;
    int channels_;
    int bits_;
    bool floatingPoint_;
    std::vector<unsigned char> bytes_;
};
