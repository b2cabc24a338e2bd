#include "tools/morv/audio_io/standard_input.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// Enough for the FLAC header and every metadata block libsndfile reads twice.
constexpr size_t kReplayBytes = 1 << 20;
constexpr size_t kSniffBytes = 4;

// Reads until count bytes or the end of the stream.
int64_t readFully(int fd, unsigned char* data, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, data + done, static_cast<size_t>(count - done));
        if (got <= 0) break;
        done += got;
    }
    return done;
}

bool writeFully(int fd, const unsigned char* data, size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, data, count);
        if (put <= 0) return false;
        data += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

// Copies the sniffed bytes, then the rest of standard input, into fd. A reader
// that stops early makes the write fail (SIGPIPE is blocked in this thread).
void relay(std::vector<unsigned char> head, int fd) {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    bool open = writeFully(fd, head.data(), head.size());
    std::vector<unsigned char> buffer(1 << 16);
    while (open) {
        const ssize_t got = ::read(0, buffer.data(), buffer.size());
        if (got <= 0) break;
        open = writeFully(fd, buffer.data(), static_cast<size_t>(got));
    }
    close(fd);
}

sf_count_t unknownLength(void*) { return SF_COUNT_MAX; }
sf_count_t seekCallback(sf_count_t offset, int whence, void* self) {
    return static_cast<StandardInput*>(self)->seek(offset, whence);
}
sf_count_t readCallback(void* data, sf_count_t count, void* self) {
    return static_cast<StandardInput*>(self)->readBytes(data, count);
}
sf_count_t tellCallback(void* self) { return static_cast<StandardInput*>(self)->tell(); }

}  // namespace

SNDFILE* StandardInput::open(SF_INFO* info) {
    struct stat status;
    if (fstat(0, &status) == 0 && S_ISREG(status.st_mode)) return sf_open_fd(0, SFM_READ, info, SF_FALSE);
    stream_ = true;
    std::vector<unsigned char> head(kSniffBytes);
    head.resize(static_cast<size_t>(readFully(0, head.data(), kSniffBytes)));
    if (head.size() == kSniffBytes && std::memcmp(head.data(), "fLaC", kSniffBytes) == 0) {
        replay_ = head;
        consumed_ = static_cast<int64_t>(head.size());
        static SF_VIRTUAL_IO io = {unknownLength, seekCallback, readCallback, nullptr, tellCallback};
        return sf_open_virtual(&io, SFM_READ, info, this);
    }
    int ends[2];
    if (pipe(ends) != 0) return nullptr;
    std::thread(relay, std::move(head), ends[1]).detach();
    return sf_open_fd(ends[0], SFM_READ, info, SF_TRUE);
}

int64_t StandardInput::readBytes(void* data, int64_t count) {
    unsigned char* out = static_cast<unsigned char*>(data);
    int64_t done = 0;
    // Bytes already taken from the pipe come from the replay buffer.
    while (done < count && position_ < consumed_) {
        if (position_ >= static_cast<int64_t>(replay_.size())) return done;  // fell out of the buffer
        out[done++] = replay_[static_cast<size_t>(position_++)];
    }
    if (done == count) return done;
    const int64_t got = readFully(0, out + done, count - done);
    if (got < count - done) ended_ = true;
    for (int64_t i = 0; i < got && replay_.size() < kReplayBytes; ++i) replay_.push_back(out[done + i]);
    consumed_ += got;
    position_ += got;
    return done + got;
}

int64_t StandardInput::seek(int64_t offset, int whence) {
    const int64_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? position_ + offset : -1;
    if (target < 0) return -1;
    if (target <= consumed_) {
        if (target < consumed_ && target >= static_cast<int64_t>(replay_.size())) return -1;
        position_ = target;
        return position_;
    }
    // Forward past what was read: read and drop.
    position_ = consumed_;
    unsigned char skip[4096];
    while (position_ < target) {
        const int64_t step = std::min<int64_t>(target - position_, sizeof skip);
        if (readBytes(skip, step) < step) return -1;
    }
    return position_;
}
