#pragma once

#include <sndfile.h>

#include <cstdint>
#include <vector>

// Opens standard input for libsndfile. A file redirected to it is opened as
// it is. A pipe cannot be rewound, which libsndfile's FLAC reader needs once
// after reading the first bytes: a FLAC stream is served from a replay buffer
// of its first bytes; any other stream is handed on through a pipe of our own
// fed by a thread, after the bytes read to tell FLAC apart, since libsndfile
// reads WAV, AIFF and the others from a pipe by itself.
class StandardInput {
public:
    StandardInput() = default;
    StandardInput(const StandardInput&) = delete;
    StandardInput& operator=(const StandardInput&) = delete;

    // Returns the open file or null (sf_strerror(nullptr) says why).
    SNDFILE* open(SF_INFO* info);
    // True when standard input is a pipe or a terminal rather than a file.
    bool isStream() const { return stream_; }
    // True once a read through the replay buffer has met the end of the pipe.
    bool reachedEnd() const { return ended_; }

    // Virtual I/O over the pipe with the replay buffer (public for the
    // callbacks).
    int64_t readBytes(void* data, int64_t count);
    int64_t seek(int64_t offset, int whence);
    int64_t tell() const { return position_; }

private:
    bool stream_ = false;
    bool ended_ = false;
    std::vector<unsigned char> replay_;  // the first bytes of the stream
    int64_t position_ = 0;               // where libsndfile reads next
    int64_t consumed_ = 0;               // bytes taken from the pipe so far
};
