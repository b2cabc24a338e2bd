#include "tools/morv/audio_io/audio_file_writer.h"

#include <sndfile.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>

#include "tools/morv/audio_io/sample_bytes.h"
#include "tools/morv/commands/usage_error.h"


namespace {

// Frames gathered before a write: a few hundred kilobytes, so that the file
// is written in large pieces rather than one player block at a time.
constexpr int kGatherFrames = 32768;

int subtypeFor(const OutputFormat& format) {
    if (format.floatingPoint) return SF_FORMAT_FLOAT;
    switch (format.bits) {
        case 16: return SF_FORMAT_PCM_16;
        case 24: return SF_FORMAT_PCM_24;
        default: return SF_FORMAT_PCM_32;
    }
}

bool seekable(int fd) { return lseek(fd, 0, SEEK_CUR) >= 0; }

}  // namespace

std::string audioExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "wav" || ext == "flac" ? ext : "";
}

AudioFileWriter::AudioFileWriter(const std::string& path, int sampleRate, int channels, const OutputFormat& format,
                                 int64_t expectedFrames)
    : cleanup_(path), path_(path), channels_(channels), floatingPoint_(format.floatingPoint) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    // A WAV that names its speakers is written in the extensible format,
    // which has room for the map.
    const bool mapped = !format.flac && static_cast<int>(format.channelMap.size()) == channels;
    info.format = (format.flac ? SF_FORMAT_FLAC : mapped ? SF_FORMAT_WAVEX : SF_FORMAT_WAV) | subtypeFor(format);
    if (!sf_format_check(&info)) throw FileError("cannot write " + path + " with this sample format");

    // A device or a named pipe (/dev/null, a FIFO) is written in place like
    // standard output: a temporary file renamed over it would replace the
    // node itself.
    struct stat existing;
    const bool special = path != "-" && stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
                         !S_ISDIR(existing.st_mode);
    if (path == "-" || special) {
        int fd = 1;
        if (special) {
            fd = open(path.c_str(), O_WRONLY);
            if (fd < 0) throw FileError("cannot write " + path + ": " + std::strerror(errno));
            ownedFd_ = fd;
            target_ = path;
        }
        if (!format.flac && !seekable(fd)) {
            stream_.reset(new WavStreamWriter(fd, sampleRate, channels, format.bits, format.floatingPoint,
                                              expectedFrames));
            return;
        }
        file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
        if (!file_) throw FileError("cannot write to " + target_ + ": " + std::string(sf_strerror(nullptr)));
        if (mapped) keepChannelMap(format.channelMap);
        return;
    }
    // The temporary file sits beside the destination so the rename stays
    // within one file system.
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = dir + "/." + base + ".XXXXXX";
    InterruptCleanup::block();
    int fd = mkstemp(&pattern[0]);
    if (fd >= 0) cleanup_.setTemporary(pattern);
    InterruptCleanup::unblock();
    if (fd < 0) throw FileError("cannot write " + path + ": the folder " + dir + " is not writable or missing");
    temporaryPath_ = pattern;
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file_) {
        unlink(temporaryPath_.c_str());
        throw FileError("cannot write " + path + ": " + sf_strerror(nullptr));
    }
    if (mapped) keepChannelMap(format.channelMap);
    // An integer WAV takes its samples' bytes as they are on a little-endian
    // machine; libsndfile still writes the header.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (!format.flac && !format.floatingPoint) rawBytesPerSample_ = format.bits / 8;
#endif
}

void AudioFileWriter::keepChannelMap(const std::vector<int>& map) {
    std::vector<int> copy = map;
    sf_command(file_, SFC_SET_CHANNEL_MAP_INFO, copy.data(), static_cast<int>(sizeof(int) * copy.size()));
}

AudioFileWriter::~AudioFileWriter() {
    close();
    if (ownedFd_ >= 0) ::close(ownedFd_);
    if (!committed_ && !temporaryPath_.empty()) unlink(temporaryPath_.c_str());
}

void AudioFileWriter::close() {
    if (file_) {
        sf_close(file_);
        file_ = nullptr;
    }
}

void AudioFileWriter::write(const int32_t* interleaved, int frames) {
    if (frames <= 0) return;
    const size_t count = static_cast<size_t>(frames) * channels_;
    if (rawBytesPerSample_) {
        const size_t start = gatheredBytes_;
        gatheredBytes_ += count * rawBytesPerSample_;
        if (bytes_.size() < gatheredBytes_) bytes_.resize(gatheredBytes_);
        packSamples(interleaved, count, rawBytesPerSample_, bytes_.data() + start);
        if (gatheredBytes_ >= static_cast<size_t>(kGatherFrames) * channels_ * rawBytesPerSample_) writeBytes();
        return;
    }
    pending_.insert(pending_.end(), interleaved, interleaved + count);
    if (pending_.size() >= static_cast<size_t>(kGatherFrames) * channels_) flush();
}

void AudioFileWriter::flush() {
    if (rawBytesPerSample_) {
        writeBytes();
        return;
    }
    if (pending_.empty()) return;
    writeFrames(pending_.data(), static_cast<int>(pending_.size() / channels_));
    pending_.clear();
}

void AudioFileWriter::writeBytes() {
    if (gatheredBytes_ == 0) return;
    const sf_count_t size = static_cast<sf_count_t>(gatheredBytes_);
    const sf_count_t put = sf_write_raw(file_, bytes_.data(), size);
    gatheredBytes_ = 0;
    if (put != size) fail();
}

void AudioFileWriter::writeFrames(const int32_t* interleaved, int frames) {
    if (stream_) {
        if (!stream_->write(interleaved, frames)) throw FileError("cannot write to " + target_);
        return;
    }
    sf_count_t put;
    if (floatingPoint_) {
        scratch_.assign(interleaved, interleaved + static_cast<size_t>(frames) * channels_);
        for (double& v : scratch_) v /= 2147483648.0;
        put = sf_writef_double(file_, scratch_.data(), frames);
    } else {
        put = sf_writef_int(file_, interleaved, frames);
    }
    if (put != frames) fail();
}

// The system's reason when libsndfile's is only that a write fell short.
void AudioFileWriter::fail() {
    const int error = errno;
    std::string reason = sf_strerror(file_);
    if (error == ENOSPC || error == EFBIG || error == EDQUOT || error == EIO) reason = std::strerror(error);
    throw FileError("cannot write " + path_ + ": " + reason);
}

void AudioFileWriter::commit() {
    flush();
    if (stream_) {
        if (!stream_->flush()) throw FileError("cannot write to " + target_);
        committed_ = true;
        return;
    }
    if (sf_error(file_) != SF_ERR_NO_ERROR) fail();
    // Closing writes what libsndfile still holds (a FLAC encoder's last
    // frames, the lengths in a WAV header): it can fail like any write.
    errno = 0;
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != SF_ERR_NO_ERROR) {
        const int error = errno;
        throw FileError("cannot write " + path_ + ": " + (error ? std::strerror(error) : sf_error_number(closed)));
    }
    if (temporaryPath_.empty()) {
        committed_ = true;
        return;
    }
    // Keep the permissions a newly created file would get.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporaryPath_.c_str(), 0666 & ~mask);
    InterruptCleanup::block();
    const bool renamed = std::rename(temporaryPath_.c_str(), path_.c_str()) == 0;
    if (renamed) cleanup_.release();
    InterruptCleanup::unblock();
    if (!renamed) throw FileError("cannot write " + path_ + ": rename failed");
    committed_ = true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
