#include "tools/morv/audio_io/audio_file_reader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>

#include "tools/morv/audio_io/declared_length.h"
#include "tools/morv/audio_io/sample_bytes.h"
#include "tools/morv/commands/usage_error.h"

namespace {

constexpr double kFullScale = 2147483648.0;
// A WAV streamed into a pipe may declare a length just short of 4 GiB that no
// stream actually holds: such a length says nothing.
constexpr int64_t kOpenLengthBytes = 0xFFFFF000;

int widthOf(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_ALAC_20:
        case SF_FORMAT_ALAC_24:
        case SF_FORMAT_DWVW_24: return 24;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE: return 32;
        default: return 16;  // 8-bit, 16-bit and the compressed formats
    }
}

// x (1.0 is full scale) on the 32-bit scale, rounded to a step of quantum;
// counts a sample held within range (NaN included).
int32_t scaled(double x, double quantum, int64_t* clipped) {
    const double v = std::nearbyint(x * (kFullScale / quantum)) * quantum;
    if (v > -kFullScale && v < kFullScale) return static_cast<int32_t>(v);
    ++*clipped;
    return v >= kFullScale ? INT32_MAX : INT32_MIN;
}


}  // namespace

void AudioFileReader::SndfileCloser::operator()(SNDFILE* file) const { sf_close(file); }

AudioFileReader::AudioFileReader(const std::string& path) : path_(path) {
    SF_INFO format{};
    // Only a regular file is opened a second time for what its header
    // declares: a second reader of a pipe would take audio from libsndfile.
    bool regular = false;
    if (path == "-") {
        file_.reset(standardInput_.open(&format));
    } else {
        struct stat info;
        if (stat(path.c_str(), &info) != 0) throw FileError("cannot read " + path + ": no such file");
        if (S_ISDIR(info.st_mode)) throw FileError("cannot read " + path + ": it is a directory");
        regular = S_ISREG(info.st_mode);
        file_.reset(sf_open(path.c_str(), SFM_READ, &format));
    }
    if (!file_) {
        const std::string problem = regular ? declaredFormatProblem(path) : "";
        if (!problem.empty()) throw FileError("cannot read " + path + ": " + problem);
        throw FileError("cannot read " + path + ": " + sf_strerror(nullptr) +
                        " (readable: WAV, FLAC, AIFF, OGG and the other formats of libsndfile)");
    }
    describe(format, !regular && (path != "-" || standardInput_.isStream()));
    if (regular) {
        // An empty WAV makes libsndfile guess a length from nothing.
        const int64_t declared = declaredFrames(path);
        if (declared > expectedFrames_ || declared == 0) expectedFrames_ = declared;
    }
}

AudioFileReader::AudioFileReader(const std::string& name, const unsigned char* data, int64_t size)
    : path_(name), memory_(new MemoryInput(data, size)) {
    SF_INFO format{};
    file_.reset(memory_->open(&format));
    if (!file_) throw FileError("cannot read " + name + ": " + sf_strerror(nullptr));
    describe(format, false);
}

// The format libsndfile found, and what the input declares of its length.
// A rate far outside audio would size the modules' buffers by it.
void AudioFileReader::describe(const SF_INFO& format, bool stream) {
    if (format.channels < 1) throw FileError("cannot read " + path_ + ": it has no channels");
    if (format.samplerate < kMinSampleRate || format.samplerate > kMaxSampleRate) {
        throw FileError(path_ + " has a sample rate of " + std::to_string(format.samplerate) + " Hz; morv takes " +
                        std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) + " Hz");
    }
    sampleRate_ = format.samplerate;
    channels_ = format.channels;
    const int subtype = format.format & SF_FORMAT_SUBMASK;
    nativeBits_ = widthOf(subtype);
    floatingPoint_ = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    // The lossy codecs decode to floating point and overshoot full scale
    // where the music comes near it; libsndfile's integer read wraps such a
    // sample to the most negative value, a click of twice full scale. They
    // are read as floating point and held within range like float files.
    decodedAsFloat_ = floatingPoint_ || subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS ||
                      subtype == SF_FORMAT_MPEG_LAYER_I || subtype == SF_FORMAT_MPEG_LAYER_II ||
                      subtype == SF_FORMAT_MPEG_LAYER_III;
    flac_ = (format.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
    // A 16-bit WAV whose bytes are in this machine's order is read as its
    // bytes: libsndfile would convert it in small pieces through a buffer of
    // its own.
    const int container = format.format & SF_FORMAT_TYPEMASK;
    raw16_ = subtype == SF_FORMAT_PCM_16 && (container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX) &&
             sf_command(file_.get(), SFC_RAW_DATA_NEEDS_ENDSWAP, nullptr, 0) == SF_FALSE;

    const int64_t bytesPerFrame = static_cast<int64_t>(channels_) * (nativeBits_ / 8);
    // An MP3's frame count is an estimate from its size and bit rate.
    const bool estimated = (format.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    if (!estimated && format.frames > 0 && format.frames != SF_COUNT_MAX &&
        !(stream && format.frames >= kOpenLengthBytes / bytesPerFrame)) {
        expectedFrames_ = format.frames;
    }
}

AudioFileReader::~AudioFileReader() = default;

void AudioFileReader::setGain(double decibels) { gain_ = std::pow(10.0, decibels / 20.0); }

int AudioFileReader::read(int32_t* interleaved, int frames) {
    sf_count_t got;
    if (decodedAsFloat_ || gain_ != 1.0) {
        floatBlock_.resize(static_cast<size_t>(frames) * channels_);
        got = sf_readf_double(file_.get(), floatBlock_.data(), frames);
        // Integer input keeps its own width; what was decoded from floating
        // point takes the whole 32-bit scale.
        const double quantum = decodedAsFloat_ ? 1.0 : std::ldexp(1.0, 32 - nativeBits_);
        for (sf_count_t i = 0; i < got * channels_; ++i) {
            const double x = floatBlock_[i] * gain_;
            peak_ = std::fabs(x) > peak_ ? std::fabs(x) : peak_;
            interleaved[i] = scaled(x, quantum, &clipped_);
        }
    } else if (raw16_) {
        const size_t count = static_cast<size_t>(frames) * channels_;
        rawBlock_.resize(count);
        const sf_count_t bytes = sf_read_raw(file_.get(), rawBlock_.data(), static_cast<sf_count_t>(count * 2));
        got = bytes > 0 ? bytes / (2 * channels_) : 0;
        unpackSamples(reinterpret_cast<const unsigned char*>(rawBlock_.data()), static_cast<size_t>(got) * channels_, 2,
                      interleaved);
    } else {
        got = sf_readf_int(file_.get(), interleaved, frames);
    }
    if (got < 0) got = 0;
    // The decoder's complaint, if any, is kept from the read that fell short.
    // A FLAC stream of unknown length read from a pipe ends in a complaint:
    // the decoder is never told that the end of the pipe is the end.
    const bool streamEnd = path_ == "-" && standardInput_.reachedEnd() && expectedFrames_ < 0;
    if (got < frames && !streamEnd && decoderError_.empty() && sf_error(file_.get()) != SF_ERR_NO_ERROR) {
        decoderError_ = sf_strerror(file_.get());
        if (decoderError_.rfind("Error : ", 0) == 0) decoderError_.erase(0, 8);
        if (!decoderError_.empty() && decoderError_.back() == '.') decoderError_.pop_back();
    }
    framesRead_ += got;
    return static_cast<int>(got);
}

std::vector<int> AudioFileReader::channelMap() const {
    std::vector<int> map(static_cast<size_t>(channels_));
    if (sf_command(file_.get(), SFC_GET_CHANNEL_MAP_INFO, map.data(), static_cast<int>(sizeof(int) * map.size())) !=
        SF_TRUE) {
        map.clear();
    }
    return map;
}

std::string AudioFileReader::damage() const {
    const std::string name = path_ == "-" ? "standard input" : path_;
    const std::string counts = std::to_string(framesRead_) + " of " +
                               (expectedFrames_ >= 0 ? std::to_string(expectedFrames_) : std::string("?")) +
                               " frames read";
    if (!decoderError_.empty()) return name + " is damaged: " + decoderError_ + " (" + counts + ")";
    if (expectedFrames_ >= 0 && framesRead_ < expectedFrames_) {
        return name + " ends early: its header declares " + std::to_string(expectedFrames_) + " frames, " +
               std::to_string(framesRead_) + " were read";
    }
    return "";
}
