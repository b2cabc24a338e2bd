#include "tools/morv/audio_io/memory_input.h"

#include <cstdio>
#include <cstring>

namespace {

MemoryInput& self(void* user) { return *static_cast<MemoryInput*>(user); }

sf_count_t lengthOf(void* user) { return self(user).length(); }
sf_count_t seekIn(sf_count_t offset, int whence, void* user) { return self(user).seek(offset, whence); }
sf_count_t readFrom(void* to, sf_count_t count, void* user) { return self(user).read(to, count); }
sf_count_t writeNothing(const void*, sf_count_t, void*) { return 0; }
sf_count_t tellIn(void* user) { return self(user).tell(); }

}  // namespace

SNDFILE* MemoryInput::open(SF_INFO* info) {
    static SF_VIRTUAL_IO io = {lengthOf, seekIn, readFrom, writeNothing, tellIn};
    position_ = 0;
    return sf_open_virtual(&io, SFM_READ, info, this);
}

int64_t MemoryInput::seek(int64_t offset, int whence) {
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : size_;
    // A position before the start is refused; one past the end reads nothing.
    if (offset < -base) return -1;
    position_ = base + offset;
    return position_;
}

int64_t MemoryInput::read(void* to, int64_t count) {
    if (count <= 0 || position_ >= size_) return 0;
    const int64_t take = count < size_ - position_ ? count : size_ - position_;
    std::memcpy(to, data_ + position_, static_cast<size_t>(take));
    position_ += take;
    return take;
}
