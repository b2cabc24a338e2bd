#include "tools/morv/render_job.h"

#include <cmath>
#include <cstdio>

#include "host/plugin_state.h"
#include "tools/morv/audio_file.h"
#include "tools/morv/stream_renderer.h"
#include "tools/morv/usage_error.h"

namespace {

// Silence fed after the input ends to drain a module's queued output is
// bounded: no module holds back more than a few frames.
constexpr double kMaxDrainSeconds = 10.0;

class ProgressBar {
public:
    ProgressBar(bool enabled, int64_t total) : enabled_(enabled && total > 0), total_(total) {}
    void update(int64_t done) {
        if (!enabled_) return;
        const int percent = static_cast<int>(100 * done / total_);
        if (percent == shown_) return;
        shown_ = percent;
        const int width = 40, filled = width * percent / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), percent);
        std::fflush(stderr);
    }
    void finish() {
        if (enabled_) std::fprintf(stderr, "\n");
    }

private:
    bool enabled_;
    int64_t total_;
    int shown_ = -1;
};

}  // namespace

RenderSummary renderFile(const RenderJob& job, const BlockHook& hook) {
    if (job.blockFrames < 1 || job.blockFrames > 1 << 20) throw UsageError("--block must be 1 to 1048576 frames");
    if (job.bits != 16 && job.bits != 24 && job.bits != 32) throw UsageError("--bits must be 16, 24 or 32");
    AudioFileWriter::checkDestination(job.output, job.bits);
    if (sameFile(job.input, job.output)) throw UsageError("output " + job.output + " is the input file");

    AudioFileReader reader(job.input);
    const int channels = reader.channels();
    if (channels > kMaxRenderChannels) {
        throw FileError(job.input + " has " + std::to_string(channels) +
                        " channels; the pipeline takes mono or stereo");
    }
    startEffectSession(job.choice, reader.sampleRate(), channels);

    RenderSummary summary;
    summary.sampleRate = reader.sampleRate();
    summary.channels = channels;
    summary.module = displayModuleName(ModuleIndex);
    summary.preset = currentPresetName();

    AudioFileWriter writer(job.output, reader.sampleRate(), channels, job.bits);
    StreamRenderer renderer(reader.sampleRate(), channels, job.bits, job.blockFrames);
    std::vector<int32_t> block(static_cast<size_t>(job.blockFrames) * channels);
    ProgressBar bar(job.progress, reader.frames());

    // Modules that keep the stream's length deliver exactly the input's
    // frames: the first output frames follow any latency, the rest of the
    // queued output is drained with silence after the input ends.
    int64_t wanted = -1;
    double peak = 0.0;
    auto deliver = [&](int produced) {
        int64_t take = produced;
        if (wanted >= 0 && summary.framesOut + take > wanted) take = wanted - summary.framesOut;
        const int32_t* frames = renderer.output();
        for (int64_t i = 0; i < take * channels; ++i) {
            const double magnitude = std::fabs(static_cast<double>(frames[i]));
            if (magnitude > peak) peak = magnitude;
        }
        writer.write(frames, static_cast<int>(take));
        summary.framesOut += take;
    };

    for (;;) {
        const int got = reader.read(block.data(), job.blockFrames);
        if (got == 0) break;
        if (hook) hook(summary.framesIn, got);
        summary.framesIn += got;
        deliver(renderer.run(block.data(), got));
        bar.update(summary.framesIn);
    }
    wanted = summary.framesIn;
    std::fill(block.begin(), block.end(), 0);
    const int64_t drainLimit = static_cast<int64_t>(kMaxDrainSeconds * reader.sampleRate());
    for (int64_t drained = 0; summary.framesOut < wanted && drained < drainLimit; drained += job.blockFrames) {
        deliver(renderer.run(block.data(), job.blockFrames));
    }
    if (summary.framesOut < wanted) {
        throw FileError("the module delivered " + std::to_string(summary.framesOut) + " of " +
                        std::to_string(wanted) + " frames; nothing written");
    }
    writer.commit();
    bar.finish();

    summary.peakDbfs = peak > 0 ? 20.0 * std::log10(peak / 2147483648.0) : -INFINITY;
    summary.processingSeconds = renderer.processingSeconds();
    const double audioSeconds = static_cast<double>(summary.framesIn) / summary.sampleRate;
    summary.realtimeFactor = summary.processingSeconds > 0 ? audioSeconds / summary.processingSeconds : 0.0;
    return summary;
}
