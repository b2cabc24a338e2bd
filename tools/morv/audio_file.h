#pragma once

#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

// Reads any file libsndfile understands as interleaved 32-bit integers
// (full scale 2^31 whatever the file's own width).
class AudioFileReader {
public:
    explicit AudioFileReader(const std::string& path);  // throws FileError
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    int64_t frames() const { return frames_; }
    // Reads up to frames frames; returns the number read (0 at the end).
    int read(int32_t* interleaved, int frames);

private:
    SNDFILE* file_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    int64_t frames_ = 0;
    std::string path_;
};

// Writes WAV or FLAC (chosen by the extension) into a temporary file beside
// the destination; commit() renames it into place, so an interrupted or
// failed run never leaves a partial file under the destination's name.
class AudioFileWriter {
public:
    AudioFileWriter(const std::string& path, int sampleRate, int channels, int bits);  // throws FileError
    ~AudioFileWriter();  // removes the temporary file unless committed
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Writes frames of interleaved 32-bit integers (full scale 2^31).
    void write(const int32_t* interleaved, int frames);
    void commit();

    // Throws UsageError unless the extension names a format we write with
    // the given width.
    static void checkDestination(const std::string& path, int bits);

private:
    void close();

    SNDFILE* file_ = nullptr;
    std::string path_;
    std::string temporaryPath_;
    bool committed_ = false;
};

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);
