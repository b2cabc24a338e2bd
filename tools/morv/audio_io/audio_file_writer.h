#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/morv/audio_io/interrupt_cleanup.h"
#include "tools/morv/audio_io/wav_stream_writer.h"

typedef struct sf_private_tag SNDFILE;

// What the output file holds.
struct OutputFormat {
    bool flac = false;           // FLAC, else WAV
    int bits = 16;               // 16, 24 or 32
    bool floatingPoint = false;  // 32-bit float samples (WAV only)
    // The speakers of the channels (libsndfile's SF_CHANNEL_MAP values), kept
    // in a WAV file; empty when the input names none.
    std::vector<int> channelMap;
};

// Writes WAV or FLAC. A named file is written to a temporary file beside the
// destination and commit() renames it into place, so an interrupted or failed
// run never leaves a partial file under the destination's name, nor the
// temporary file (SIGINT and SIGTERM remove it too). A write that fails (a
// full disk, a file-size limit) or a close that fails is a FileError, and
// nothing is renamed into place. "-" writes to standard output: FLAC through
// libsndfile, WAV with a header of our own since a pipe cannot be rewound to
// fill in the length afterwards. A device or named pipe (/dev/null, a FIFO)
// is written in place the same way.
class AudioFileWriter {
public:
    // expectedFrames (or -1 when unknown) goes into the header of a WAV
    // written to a pipe.
    AudioFileWriter(const std::string& path, int sampleRate, int channels, const OutputFormat& format,
                    int64_t expectedFrames);  // throws FileError
    ~AudioFileWriter();  // removes the temporary file unless committed
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Takes frames of interleaved 32-bit integers (full scale 2^31); they are
    // gathered and written in large pieces.
    void write(const int32_t* interleaved, int frames);
    // Writes what is gathered.
    void flush();
    // Flushes, then closes the file and renames it into place.
    void commit();

private:
    void writeFrames(const int32_t* interleaved, int frames);
    void writeBytes();
    void close();
    [[noreturn]] void fail();

    void keepChannelMap(const std::vector<int>& map);

    InterruptCleanup cleanup_;
    SNDFILE* file_ = nullptr;
    std::unique_ptr<WavStreamWriter> stream_;
    std::string path_;
    std::string target_ = "standard output";  // what a write in place writes to
    int ownedFd_ = -1;  // a device or named pipe opened for the write in place
    std::string temporaryPath_;
    int channels_ = 0;
    bool floatingPoint_ = false;
    // Integer WAV is written as its bytes, gathered here at the file's width;
    // the other outputs gather 32-bit frames.
    int rawBytesPerSample_ = 0;
    std::vector<unsigned char> bytes_;  // its first gatheredBytes_ are waiting
    size_t gatheredBytes_ = 0;
    std::vector<int32_t> pending_;
    std::vector<double> scratch_;  // float output: the block scaled to 1.0
    bool committed_ = false;
};

// The container named by a file's extension: "wav", "flac", or "" for others.
std::string audioExtension(const std::string& path);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);
