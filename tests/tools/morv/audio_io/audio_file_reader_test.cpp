#include "tools/morv/audio_io/audio_file_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

void put(std::string& s, uint64_t v, int bytes) {
    for (int b = 0; b < bytes; ++b) s.push_back(static_cast<char>(v >> (8 * b)));
}

// A PCM WAV whose header says what it is told to, over body bytes of audio.
std::string wave(int channels, uint32_t rate, const std::string& body, uint32_t dataBytes) {
    const int align = channels * 2;
    std::string s = "RIFF";
    put(s, 36 + body.size(), 4);
    s += "WAVEfmt ";
    put(s, 16, 4);
    put(s, 1, 2);
    put(s, channels, 2);
    put(s, rate, 4);
    put(s, static_cast<uint64_t>(rate) * align, 4);
    put(s, align, 2);
    put(s, 16, 2);
    s += "data";
    put(s, dataBytes, 4);
    return s + body;
}

std::string wave(int channels, uint32_t rate, const std::string& body) {
    return wave(channels, rate, body, static_cast<uint32_t>(body.size()));
}

// An RF64 WAV of 16-bit stereo that declares frames in its "ds64" chunk.
std::string rf64(uint64_t frames, const std::string& body) {
    std::string s = "RF64";
    put(s, 0xFFFFFFFFu, 4);
    s += "WAVEds64";
    put(s, 28, 4);
    put(s, 0, 8);
    put(s, frames * 4, 8);
    put(s, frames, 8);
    put(s, 0, 4);
    s += "fmt ";
    put(s, 16, 4);
    put(s, 1, 2);
    put(s, 2, 2);
    put(s, 44100, 4);
    put(s, 44100 * 4, 4);
    put(s, 4, 2);
    put(s, 16, 2);
    s += "data";
    put(s, 0xFFFFFFFFu, 4);
    return s + body;
}

class HostileHeaders : public MorvFileTest {
protected:
    void save(const std::string& name, const std::string& bytes) { std::ofstream(dir + name, std::ios::binary) << bytes; }
    bool exists(const std::string& name) const { return std::ifstream(dir + name).good(); }
};

TEST_F(HostileHeaders, AreRefusedWithOneClearLineAndNoOutput) {
    const std::string audio(800, '\x10');
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"channels0.wav", wave(0, 44100, audio), "channels0.wav: its header gives 0 channels"},
        {"rate0.wav", wave(2, 0, audio), "rate0.wav: its header gives a sample rate of 0 Hz"},
        {"rate1.wav", wave(2, 1, audio), "rate1.wav has a sample rate of 1 Hz; morv takes 1000 to 768000 Hz"},
        {"fast.wav", wave(1, 2147483647u, audio), "fast.wav has a sample rate of 2147483647 Hz"},
    };
    for (const auto& c : cases) {
        save(c.name, c.bytes);
        const MorvRun r = runMorv("process " + q(c.name) + " " + q("out.wav") + " --quiet --module 16");
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(exists("out.wav")) << c.name;
    }
}

// A header that promises more than the file holds (2^32 frames, or a data
// chunk cut short) is a warning; the frames that are there are processed.
TEST_F(HostileHeaders, LengthsBeyondTheDataAreAWarning) {
    const std::string audio(800, '\x10');
    save("huge.wav", rf64(uint64_t{1} << 32, audio));
    save("cut.wav", wave(2, 44100, audio, 4000000));
    const struct {
        const char* name;
        const char* says;
    } cases[] = {
        {"huge.wav", "huge.wav ends early: its header declares 4294967296 frames, 200 were read"},
        {"cut.wav", "cut.wav ends early: its header declares 1000000 frames, 200 were read"},
    };
    for (const auto& c : cases) {
        const MorvRun r = runMorv("process " + q(c.name) + " " + q("out.wav") + " --quiet --module 3");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        SF_INFO info{};
        read("out.wav", &info);
        EXPECT_EQ(info.frames, 200) << c.name;
    }
}

// The same 24-bit file from memory and through a named pipe, which is read
// once only (a frame is 6 bytes: any bytes taken from the pipe misalign the rest).
TEST_F(HostileHeaders, AFileInMemoryOrThroughAPipeReadsLikeTheSameFileOnDisk) {
    const std::vector<double> signal = testsignals::noise(3000, 2, 0.4, 8);
    write("in.wav", signal, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000);
    std::ifstream file(dir + "in.wav", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(mkfifo((dir + "pipe.wav").c_str(), 0600), 0);
    std::thread feeder([&] { std::ofstream(dir + "pipe.wav", std::ios::binary) << bytes; });
    AudioFileReader onDisk(dir + "in.wav");
    AudioFileReader inMemory("in.wav", reinterpret_cast<const unsigned char*>(bytes.data()),
                             static_cast<int64_t>(bytes.size()));
    AudioFileReader throughPipe(dir + "pipe.wav");
    feeder.join();  // the whole file fits in the pipe's buffer
    for (AudioFileReader* reader : {&inMemory, &throughPipe}) {
        EXPECT_EQ(reader->sampleRate(), 48000);
        EXPECT_EQ(reader->nativeBits(), 24);
    }
    std::vector<int32_t> a(2 * 1000), b(2 * 1000), c(2 * 1000);
    int total = 0;
    for (int got; (got = onDisk.read(a.data(), 1000)) > 0; total += got) {
        ASSERT_EQ(inMemory.read(b.data(), 1000), got);
        ASSERT_EQ(a, b);
        ASSERT_EQ(throughPipe.read(c.data(), 1000), got);
        ASSERT_EQ(a, c);
    }
    EXPECT_EQ(total, 3000);
    EXPECT_EQ(inMemory.read(b.data(), 1000), 0);
    EXPECT_EQ(throughPipe.read(c.data(), 1000), 0);
    EXPECT_EQ(throughPipe.damage(), "");
}

// A lossy codec's output overshoots full scale at the corners of a loud
// square wave; each such sample must come out held at full scale, never
// wrapped to the far end of the range.
TEST_F(HostileHeaders, ALossyFileNearFullScaleIsHeldWithinRangeNotWrapped) {
    std::vector<double> signal(44100);
    for (size_t i = 0; i < signal.size(); ++i) signal[i] = (i / 50) % 2 ? -0.98 : 0.98;
    write("in.ogg", signal, 1, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    AudioFileReader reader(dir + "in.ogg");
    std::vector<int32_t> decoded(signal.size() + 4096);
    int total = 0;
    for (int got; (got = reader.read(decoded.data() + total, 4096)) > 0;) total += got;
    ASSERT_GE(total, 40000);
    int wrapped = 0, atTop = 0;
    for (int i = 2000; i < 40000; ++i) {
        const int phase = i % 100;  // well inside each half period
        if (phase >= 10 && phase < 40 && decoded[i] < 0) ++wrapped;
        if (phase >= 60 && phase < 90 && decoded[i] > 0) ++wrapped;
        if (decoded[i] == INT32_MAX || decoded[i] == INT32_MIN + 1 || decoded[i] == INT32_MIN) ++atTop;
    }
    EXPECT_EQ(wrapped, 0);
    EXPECT_GT(atTop, 0);  // the codec did overshoot, so the case was met
}

}  // namespace

namespace {

// Every frame libsndfile's own integer read gives for the file at path.
std::vector<int32_t> libsndfileFrames(const std::string& path, int* channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<int32_t> all(static_cast<size_t>(info.frames + 1) * info.channels);
    all.resize(static_cast<size_t>(sf_readf_int(file, all.data(), info.frames + 1)) * info.channels);
    sf_close(file);
    *channels = info.channels;
    return all;
}

}  // namespace

// 16-bit files in either byte order and container, and one whose data ends
// mid-frame, read in pieces that straddle the end, give what libsndfile's
// integer read gives.
TEST_F(HostileHeaders, SixteenBitFilesReadAsLibsndfileReadsThem) {
    const std::vector<double> signal = testsignals::noise(2501, 3, 0.9, 5);
    write("le.wav", signal, 3, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    write("be.wav", signal, 3, SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG);
    write("ex.wav", signal, 3, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16);
    write("aiff.aiff", signal, 3, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    std::ifstream whole(dir + "le.wav", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    save("cut.wav", bytes.substr(0, bytes.size() - 1001));
    for (const char* name : {"le.wav", "be.wav", "ex.wav", "aiff.aiff", "cut.wav"}) {
        SCOPED_TRACE(name);
        int channels = 0;
        const std::vector<int32_t> expected = libsndfileFrames(dir + name, &channels);
        ASSERT_EQ(channels, 3);
        AudioFileReader reader(dir + name);
        std::vector<int32_t> got, piece(3 * 999);
        for (int n; (n = reader.read(piece.data(), 999)) > 0;) got.insert(got.end(), piece.begin(), piece.begin() + 3 * n);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(reader.framesRead(), static_cast<int64_t>(expected.size() / 3));
    }
}
