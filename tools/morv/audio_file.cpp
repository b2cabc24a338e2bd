#include "tools/morv/audio_file.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "tools/morv/usage_error.h"

namespace {

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int subtypeFor(int bits) {
    switch (bits) {
        case 16: return SF_FORMAT_PCM_16;
        case 24: return SF_FORMAT_PCM_24;
        default: return SF_FORMAT_PCM_32;
    }
}

}  // namespace

AudioFileReader::AudioFileReader(const std::string& path) : path_(path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) throw FileError("cannot read " + path + ": no such file");
    if (S_ISDIR(info.st_mode)) throw FileError("cannot read " + path + ": it is a directory");
    SF_INFO format{};
    file_ = sf_open(path.c_str(), SFM_READ, &format);
    if (!file_) {
        throw FileError("cannot read " + path + ": " + sf_strerror(nullptr) +
                        " (readable: WAV, FLAC, AIFF, OGG and the other formats of libsndfile)");
    }
    sampleRate_ = format.samplerate;
    channels_ = format.channels;
    frames_ = format.frames;
}

AudioFileReader::~AudioFileReader() {
    if (file_) sf_close(file_);
}

int AudioFileReader::read(int32_t* interleaved, int frames) {
    const sf_count_t got = sf_readf_int(file_, interleaved, frames);
    if (got < 0) throw FileError("cannot read " + path_ + ": " + sf_strerror(file_));
    return static_cast<int>(got);
}

void AudioFileWriter::checkDestination(const std::string& path, int bits) {
    const std::string ext = lowerExtension(path);
    if (ext == "wav") return;
    if (ext == "flac") {
        if (bits > 24) throw UsageError("FLAC holds at most 24 bits; use --bits 16 or 24, or a .wav output");
        return;
    }
    throw UsageError("output " + path + " must end in .wav or .flac");
}

AudioFileWriter::AudioFileWriter(const std::string& path, int sampleRate, int channels, int bits) : path_(path) {
    checkDestination(path, bits);
    const int container = lowerExtension(path) == "flac" ? SF_FORMAT_FLAC : SF_FORMAT_WAV;
    SF_INFO format{};
    format.samplerate = sampleRate;
    format.channels = channels;
    format.format = container | subtypeFor(bits);
    if (!sf_format_check(&format)) throw FileError("cannot write " + path + " with this sample format");

    // The temporary file sits beside the destination so the rename stays
    // within one file system.
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = dir + "/." + base + ".XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) throw FileError("cannot write " + path + ": the folder " + dir + " is not writable or missing");
    temporaryPath_ = pattern;
    file_ = sf_open_fd(fd, SFM_WRITE, &format, SF_TRUE);
    if (!file_) {
        unlink(temporaryPath_.c_str());
        throw FileError("cannot write " + path + ": " + sf_strerror(nullptr));
    }
}

AudioFileWriter::~AudioFileWriter() {
    close();
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
    if (sf_writef_int(file_, interleaved, frames) != frames) {
        throw FileError("cannot write " + path_ + ": " + sf_strerror(file_));
    }
}

void AudioFileWriter::commit() {
    if (sf_error(file_) != SF_ERR_NO_ERROR) throw FileError("cannot write " + path_ + ": " + sf_strerror(file_));
    close();
    // Keep the permissions a newly created file would get.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temporaryPath_.c_str(), 0666 & ~mask);
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        throw FileError("cannot write " + path_ + ": rename failed");
    }
    committed_ = true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
