#pragma once

#include <sndfile.h>

#include <cstdint>

// A whole file held in memory, opened through libsndfile's virtual I/O. The
// bytes are not copied: they must outlive the open file.
class MemoryInput {
public:
    MemoryInput(const unsigned char* data, int64_t size) : data_(data), size_(size) {}
    MemoryInput(const MemoryInput&) = delete;
    MemoryInput& operator=(const MemoryInput&) = delete;

    // Returns the open file or null (sf_strerror(nullptr) says why).
    SNDFILE* open(SF_INFO* info);

    // The virtual I/O (public for the callbacks).
    int64_t length() const { return size_; }
    int64_t seek(int64_t offset, int whence);
    int64_t read(void* to, int64_t count);
    int64_t tell() const { return position_; }

private:
    const unsigned char* data_;
    int64_t size_;
    int64_t position_ = 0;
};
