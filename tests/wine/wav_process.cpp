#include "tests/wine/wav_process.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/player.h"

namespace {

const double kMaxDrainSeconds = 10.0;
const int kModuleListId = 1009;
const int kPresetListId = 1012;

struct PcmAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int32_t> samples;  // interleaved, full scale 2^31
};

uint32_t readLittle(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int b = 0; b < bytes; ++b) value |= static_cast<uint32_t>(p[b]) << (8 * b);
    return value;
}

// A PCM WAV file of 8, 16, 24 or 32 bits as 32-bit samples, the scale the
// command line reads every file in.
bool readWav(const char* path, PcmAudio* audio) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
    std::fclose(file);
    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) || std::memcmp(data.data() + 8, "WAVE", 4))
        return false;
    int bits = 0;
    size_t at = 12;
    while (at + 8 <= data.size()) {
        const unsigned char* header = data.data() + at;
        const size_t size = readLittle(header + 4, 4);
        const unsigned char* body = header + 8;
        if (at + 8 + size > data.size()) return false;
        if (!std::memcmp(header, "fmt ", 4) && size >= 16) {
            audio->channels = static_cast<int>(readLittle(body + 2, 2));
            audio->sampleRate = static_cast<int>(readLittle(body + 4, 4));
            bits = static_cast<int>(readLittle(body + 14, 2));
        } else if (!std::memcmp(header, "data", 4) && bits && audio->channels) {
            const int width = bits / 8;
            const size_t count = size / width;
            audio->samples.resize(count);
            for (size_t i = 0; i < count; ++i) {
                const uint32_t raw = readLittle(body + i * width, width);
                audio->samples[i] = width == 1 ? static_cast<int32_t>((raw - 128u) << 24)
                                               : static_cast<int32_t>(raw << (32 - bits));
            }
            return bits == 8 || bits == 16 || bits == 24 || bits == 32;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

void appendLittle(std::vector<unsigned char>* out, uint32_t value, int bytes) {
    for (int b = 0; b < bytes; ++b) out->push_back(static_cast<unsigned char>(value >> (8 * b)));
}

bool writeWav(const char* path, int sampleRate, int channels, int bits, const std::vector<int32_t>& samples) {
    const int width = bits / 8;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * width);
    std::vector<unsigned char> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    appendLittle(&out, 36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    appendLittle(&out, 16, 4);
    appendLittle(&out, 1, 2);
    appendLittle(&out, channels, 2);
    appendLittle(&out, sampleRate, 4);
    appendLittle(&out, sampleRate * channels * width, 4);
    appendLittle(&out, channels * width, 2);
    appendLittle(&out, bits, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    appendLittle(&out, dataBytes, 4);
    for (int32_t v : samples) appendLittle(&out, static_cast<uint32_t>(v) >> (32 - bits), width);
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

// The player's block buffer at the host's width, with room for twice the block.
class HostBlock {
public:
    HostBlock(int channels, int bits, int blockFrames)
        : channels_(channels), width_(bits / 8), bits_(bits),
          bytes_(static_cast<size_t>(2) * blockFrames * channels * (bits / 8)) {}

    void store(const int32_t* samples, int frames) {
        for (int i = 0; i < frames * channels_; ++i) {
            const uint32_t raw = static_cast<uint32_t>(samples[i]) >> (32 - bits_);
            for (int b = 0; b < width_; ++b) bytes_[i * width_ + b] = static_cast<unsigned char>(raw >> (8 * b));
        }
    }
    // Frames first .. first + frames - 1 of the block.
    void load(int first, int frames, std::vector<int32_t>* out) const {
        for (int i = first * channels_; i < (first + frames) * channels_; ++i) {
            const uint32_t raw = readLittle(bytes_.data() + i * width_, width_);
            out->push_back(static_cast<int32_t>(raw << (32 - bits_)));
        }
    }
    short* data() { return reinterpret_cast<short*>(bytes_.data()); }

private:
    int channels_, width_, bits_;
    std::vector<unsigned char> bytes_;
};

// Picks an entry of one of the control window's lists, as the user does.
bool chooseInDialog(int listId, int entry) {
    HWND dialog = findControlDialog();
    HWND list = dialog ? GetDlgItem(dialog, listId) : nullptr;
    if (!list || entry >= SendMessageA(list, CB_GETCOUNT, 0, 0)) return false;
    SendMessageA(list, CB_SETCURSEL, entry, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return SendMessageA(list, CB_GETCURSEL, 0, 0) == entry;
}

}  // namespace

int runWavProcess(int argc, char** argv) {
    int moduleIndex = 0, blockFrames = 576, bits = 16, preset = -1;
    long long framesWanted = -1;  // the output's length; the input's by default
    long long skip = 0;           // frames delivered ahead of the aligned output
    std::vector<const char*> files;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--module") && i + 1 < argc) moduleIndex = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--block") && i + 1 < argc) blockFrames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--bits") && i + 1 < argc) bits = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--preset") && i + 1 < argc) preset = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) framesWanted = std::atoll(argv[++i]);
        else if (!std::strcmp(argv[i], "--skip") && i + 1 < argc) skip = std::atoll(argv[++i]);
        else files.push_back(argv[i]);
    }
    if (files.size() != 2 || blockFrames < 1 || (bits != 16 && bits != 24 && bits != 32)) {
        std::printf("usage: process [--module N] [--preset INDEX] [--block FRAMES] [--bits 16|24|32] "
                    "[--frames OUT_FRAMES] IN.wav OUT.wav\n");
        return 2;
    }
    PcmAudio input;
    if (!readWav(files[0], &input) || input.channels < 1) {
        std::printf("cannot read %s as PCM WAV\n", files[0]);
        return 1;
    }

    // A new user picks the module and the preset in the control window, as
    // `morv process` sets them: the module's defaults, then the preset.
    clearStoredSettings();
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    if (!module) {
        std::printf("cannot load dsp_MORV.dll\n");
        return 1;
    }
    module->Init(module);
    pumpMessages(0);
    if (moduleIndex != 0 && !chooseInDialog(kModuleListId, moduleIndex)) {
        std::printf("the control window's module list has no entry %d\n", moduleIndex);
        return 1;
    }
    if (preset >= 0 && !chooseInDialog(kPresetListId, preset)) {
        std::printf("the preset list of module %d has no entry %d\n", moduleIndex, preset);
        return 1;
    }

    const int channels = input.channels;
    const int64_t framesIn = static_cast<int64_t>(input.samples.size()) / channels;
    HostBlock host(channels, bits, blockFrames);
    std::vector<int32_t> output;
    std::vector<int32_t> produced;
    int64_t wanted = -1;
    int64_t framesOut = 0;
    auto runBlock = [&](const int32_t* samples, int frames) {
        host.store(samples, frames);
        int result = module->ModifySamples(module, host.data(), frames, bits, channels, input.sampleRate);
        if (result < 0) result = 0;
        if (result > 2 * blockFrames) result = 2 * blockFrames;
        // Frames delivered ahead of the aligned output are dropped, as morv does.
        const int64_t dropped = std::min<int64_t>(skip, result);
        skip -= dropped;
        int64_t take = result - dropped;
        if (wanted >= 0 && framesOut + take > wanted) take = wanted - framesOut;
        produced.clear();
        host.load(static_cast<int>(dropped), static_cast<int>(take), &produced);
        output.insert(output.end(), produced.begin(), produced.end());
        framesOut += take;
        pumpMessages(0);
    };
    for (int64_t start = 0; start < framesIn; start += blockFrames) {
        const int frames = static_cast<int>(framesIn - start < blockFrames ? framesIn - start : blockFrames);
        runBlock(input.samples.data() + start * channels, frames);
    }
    // A rate or tempo change makes the output longer or shorter than the input.
    wanted = framesWanted >= 0 ? framesWanted : framesIn;
    std::vector<int32_t> silence(static_cast<size_t>(blockFrames) * channels, 0);
    const int64_t drainLimit = static_cast<int64_t>(kMaxDrainSeconds * input.sampleRate);
    for (int64_t drained = 0; framesOut < wanted && drained < drainLimit; drained += blockFrames)
        runBlock(silence.data(), blockFrames);
    module->Quit(module);
    library.unload();
    if (framesOut < wanted) {
        std::printf("the module delivered %lld of %lld frames\n", static_cast<long long>(framesOut),
                    static_cast<long long>(wanted));
        return 1;
    }
    if (!writeWav(files[1], input.sampleRate, channels, bits, output)) {
        std::printf("cannot write %s\n", files[1]);
        return 1;
    }
    return 0;
}
