// Any bytes as the input file of morv process, read from memory through
// libsndfile, and from there through the first blocks of the pipeline as
// morv process plays them (the module follows from the input's length).
// Inputs morv refuses end in a FileError, which is their clear message.

#include <cstdint>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/audio_io/audio_file_reader.h"
#include "tools/morv/render/effect_session.h"
#include "tools/morv/render/render_job.h"
#include "tools/morv/render/stream_renderer.h"
#include "tools/morv/commands/usage_error.h"

namespace {

constexpr int kBlockFrames = 576;
constexpr int kBlocks = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        AudioFileReader reader("input", data, static_cast<int64_t>(size));
        const int channels = reader.channels();
        EffectChoice choice;
        choice.moduleIndex = static_cast<int>(size % kSelectableModuleCount);
        EffectSession session(choice, reader.sampleRate(), channels);
        StreamRenderer renderer(session.engine(), reader.sampleRate(), channels, reader.nativeBits(), kBlockFrames);
        std::vector<int32_t> block(static_cast<size_t>(kBlockFrames) * channels);
        for (int b = 0; b < kBlocks; ++b) {
            const int got = reader.read(block.data(), kBlockFrames);
            if (got == 0) break;
            renderer.run(block.data(), got);
        }
        const std::string damage = reader.damage();
        (void)damage;
    } catch (const FileError&) {
    }
    return 0;
}
