#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/morv/audio_io/memory_input.h"
#include "tools/morv/audio_io/standard_input.h"

// Reads any file libsndfile understands ("-" is standard input) as
// interleaved 32-bit integers, full scale 2^31 whatever the file's own width:
// floating-point samples are scaled (1.0 is full scale) and held within range,
// and the samples so clamped are counted. An input gain scales every sample
// before that, so that float input above full scale can be made to fit.
// It notices an input that ends before its header says or that the decoder
// could not read to the end. Inputs it cannot play (no channels, a sample
// rate outside kMinSampleRate..kMaxSampleRate) are refused with a FileError.
class AudioFileReader {
public:
    static constexpr int kMinSampleRate = 1000;
    static constexpr int kMaxSampleRate = 768000;

    explicit AudioFileReader(const std::string& path);  // throws FileError
    // A whole file held in memory, shown in messages under name; the bytes
    // must outlive the reader.
    AudioFileReader(const std::string& name, const unsigned char* data, int64_t size);  // throws FileError
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    // Frames the input declares, or -1 when it does not say (a stream).
    int64_t expectedFrames() const { return expectedFrames_; }
    // The integer width that keeps the input's precision: 16, 24 or 32 (for
    // floating point).
    int nativeBits() const { return nativeBits_; }
    bool floatingPoint() const { return floatingPoint_; }
    bool flac() const { return flac_; }
    // The speakers of the channels as the file names them (libsndfile's
    // SF_CHANNEL_MAP values); empty when it names none.
    std::vector<int> channelMap() const;

    // Scales every sample read from now on by decibels (0 reads the file's
    // integers unchanged). A gain on integer input rounds to the input's
    // own width.
    void setGain(double decibels);
    // Samples held within range since the start, and the largest magnitude
    // read before that (1.0 is full scale, after the gain).
    int64_t clippedSamples() const { return clipped_; }
    double peak() const { return peak_; }

    // Reads up to frames frames; returns the number read (0 at the end).
    int read(int32_t* interleaved, int frames);
    int64_t framesRead() const { return framesRead_; }
    // Once read has returned 0: empty for a whole input, otherwise what went
    // wrong, in one line.
    std::string damage() const;

private:
    void describe(const SF_INFO& format, bool stream);

    std::string path_;
    StandardInput standardInput_;
    std::unique_ptr<MemoryInput> memory_;
    struct SndfileCloser {
        void operator()(struct sf_private_tag* file) const;
    };
    std::unique_ptr<struct sf_private_tag, SndfileCloser> file_;
    int sampleRate_ = 0;
    int channels_ = 0;
    int64_t expectedFrames_ = -1;
    int nativeBits_ = 16;
    bool floatingPoint_ = false;
    bool decodedAsFloat_ = false;
    bool raw16_ = false;  // 16-bit little-endian PCM, read as its bytes
    std::vector<int16_t> rawBlock_;
    bool flac_ = false;
    int64_t framesRead_ = 0;
    std::string decoderError_;
    std::vector<double> floatBlock_;
    double gain_ = 1.0;
    int64_t clipped_ = 0;
    double peak_ = 0.0;
};
