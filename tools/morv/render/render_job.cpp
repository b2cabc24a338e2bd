#include "tools/morv/render/render_job.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "host/engine.h"
#include "tools/morv/render/effect_session.h"
#include "registry/module_registry.h"
#include "tools/morv/audio_io/audio_file_reader.h"
#include "tools/morv/audio_io/audio_file_writer.h"
#include "tools/morv/commands/module_names.h"
#include "tools/morv/render/noise_snapper.h"
#include "tools/morv/audio_io/output_sink.h"
#include "tools/morv/render/stream_renderer.h"
#include "tools/morv/render/tail_gate.h"
#include "tools/morv/commands/usage_error.h"

namespace {

// Silence fed after the input ends to drain a module's queued output is
// bounded: no module holds back more than a few frames.
constexpr double kMaxDrainSeconds = 10.0;
// Frames read from the input at once (rounded down to whole blocks).
constexpr int kReadFrames = 16384;

class ProgressBar {
public:
    ProgressBar(bool enabled, int64_t total) : enabled_(enabled && total > 0), total_(total) {}
    void update(int64_t done) {
        if (!enabled_) return;
        const int percent = static_cast<int>(100 * std::min(done, total_) / total_);
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

// WAV or FLAC: --type, else the output's extension, else the input's kind.
bool chooseFlac(const RenderJob& job, bool inputFlac) {
    if (!job.type.empty()) {
        if (job.type != "wav" && job.type != "flac") throw UsageError("--type must be wav or flac");
        return job.type == "flac";
    }
    const std::string ext = audioExtension(job.output);
    if (!ext.empty()) return ext == "flac";
    if (job.output == "-") return inputFlac;
    throw UsageError("output " + job.output + " must end in .wav or .flac (or give --type)");
}

// The width follows the input unless --bits says otherwise; floating point is
// processed at 32 bits and written as float (at 24 bits into FLAC).
OutputFormat chooseFormat(const RenderJob& job, const AudioFileReader& reader) {
    OutputFormat format;
    format.flac = chooseFlac(job, reader.flac());
    format.bits = job.bits ? job.bits : reader.nativeBits();
    if (format.flac && format.bits > 24) {
        if (job.bits) throw UsageError("FLAC holds at most 24 bits; use --bits 16 or 24, or a WAV output");
        format.bits = 24;
    }
    format.floatingPoint = !job.bits && !format.flac && reader.floatingPoint();
    format.channelMap = reader.channelMap();
    return format;
}

std::string describe(const OutputFormat& format) {
    return std::string(format.flac ? "FLAC " : "WAV ") +
           (format.floatingPoint ? std::string("float") : std::to_string(format.bits) + "-bit");
}

std::vector<int64_t> snapFrames(const RenderJob& job, const AudioFileReader& reader) {
    std::vector<int64_t> frames;
    // Past any length a file can have, a point is beyond the end whatever the
    // input declares (and no longer rounds to a frame number).
    constexpr double kFarFrame = 0x1p62;
    for (double seconds : job.snapSeconds) {
        const double position = seconds * reader.sampleRate();
        if (!(position < kFarFrame)) {
            throw UsageError("--snap-noise " + std::to_string(seconds).substr(0, 8) + " lies beyond the end of the input");
        }
        const int64_t frame = std::llround(position);
        if (reader.expectedFrames() >= 0 && frame >= reader.expectedFrames()) {
            throw UsageError("--snap-noise " + std::to_string(seconds).substr(0, 8) +
                             " lies beyond the end of the input (" + std::to_string(reader.expectedFrames()) +
                             " frames)");
        }
        frames.push_back(frame);
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

// The channels of the stream through the pipeline: a mono file given to a
// module that renders two ears comes out with one channel per ear.
int streamChannelsFor(int moduleIndex, int inputChannels) {
    return inputChannels == 1 && moduleRow(moduleIndex).has(kRendersTwoEars) ? 2 : inputChannels;
}

// What follows the aligned end: --tail's frames, or the module's own tail
// when it has one, rendered until silent.
struct TailPlan {
    int64_t limit = 0;
    bool untilSilent = false;
};

TailPlan planTail(const RenderJob& job, int moduleIndex, int sampleRate, bool processed) {
    TailPlan plan;
    if (job.tailSeconds >= 0.0) {
        plan.limit = std::llround(job.tailSeconds * sampleRate);
    } else {
        plan.untilSilent = processed && moduleRow(moduleIndex).has(kHasTail);
    }
    return plan;
}

// The most frames a tail rendered until silent may take: the module's latency
// and its ring, for the design in force once the input has gone through.
int64_t ringLimit(Engine& engine) {
    return engine.withModule([](EffectModule* m) -> int64_t { return m ? m->latencyFrames() + m->tailFrames() : 0; });
}

}  // namespace

RenderSummary renderFile(const RenderJob& job) {
    const auto start = std::chrono::steady_clock::now();
    if (job.blockFrames < 1 || job.blockFrames > 1 << 20) throw UsageError("--block must be 1 to 1048576 frames");
    if (job.bits != 0 && job.bits != 16 && job.bits != 24 && job.bits != 32) {
        throw UsageError("--bits must be 16, 24 or 32");
    }
    if (!job.snapSeconds.empty() && !moduleRow(job.choice.moduleIndex).has(kLearnsNoise)) {
        throw UsageError("--snap-noise needs --module 3 (Restoration-DeNoise)");
    }
    if (job.output != "-" && job.type.empty() && audioExtension(job.output).empty()) {
        throw UsageError("output " + job.output + " must end in .wav or .flac (or give --type)");
    }
    if (job.input != "-" && sameFile(job.input, job.output)) {
        throw UsageError("output " + job.output + " is the input file");
    }
    if (!(job.tailSeconds <= kMaxTailSeconds)) throw UsageError("--tail must be 0 to 3600 seconds");
    if (job.bits == 32 && job.type != "wav" && (job.type == "flac" || audioExtension(job.output) == "flac")) {
        throw UsageError("FLAC holds at most 24 bits; use --bits 16 or 24, or a WAV output");
    }

    AudioFileReader reader(job.input);
    reader.setGain(job.inputGainDecibels);
    // Every channel count goes through the pipeline as the player's would:
    // channels past the second follow the pair.
    const int inputChannels = reader.channels();
    const int channels = streamChannelsFor(job.choice.moduleIndex, inputChannels);
    const OutputFormat format = chooseFormat(job, reader);
    EffectSession session(job.choice, reader.sampleRate(), channels);
    Engine& engine = session.engine();
    NoiseSnapper snapper(engine, snapFrames(job, reader), channels);

    RenderSummary summary;
    summary.input = job.input;
    summary.output = job.output;
    summary.sampleRate = reader.sampleRate();
    summary.channels = channels;
    summary.inputChannels = inputChannels;
    summary.seed = job.choice.seed;
    summary.moduleIndex = engine.moduleIndex();
    summary.module = moduleNameText(summary.moduleIndex);
    summary.marker = moduleMarker(summary.moduleIndex);
    summary.preset = session.presetName();
    summary.gainDecibels = session.gainDecibels();
    summary.parameters = session.parameters();
    summary.bits = format.bits;
    summary.outputFormat = describe(format);

    // The pipeline leaves the module out altogether in PASS. A rate or tempo
    // change delivers the input's length times its factor, which a stream's
    // header declares ahead.
    const bool processed = engine.channelMask() != 0;
    const double lengthRatio =
        engine.withModule([&](EffectModule* m) { return processed && m ? m->lengthRatio() : 1.0; });
    TailPlan tail = planTail(job, engine.moduleIndex(), reader.sampleRate(), processed);
    // A tail rendered until silent has no length known ahead.
    const int64_t expectedOut = reader.expectedFrames() >= 0 && !tail.untilSilent
                                    ? std::llround(static_cast<double>(reader.expectedFrames()) * lengthRatio) +
                                          tail.limit
                                    : -1;
    AudioFileWriter writer(job.output, reader.sampleRate(), channels, format, expectedOut);
    OutputSink sink(&writer, channels);
    StreamRenderer renderer(engine, reader.sampleRate(), channels, format.bits, job.blockFrames);
    TailGate gate(sink, channels);
    // The input is read in large pieces and handed to the pipeline a block
    // at a time, so that the blocks are the same whatever the read size.
    const int readFrames = std::max(job.blockFrames, kReadFrames / job.blockFrames * job.blockFrames);
    std::vector<int32_t> piece(static_cast<size_t>(readFrames) * inputChannels);
    std::vector<int32_t> block(static_cast<size_t>(job.blockFrames) * channels);
    ProgressBar bar(job.progress, reader.expectedFrames());

    // Modules that keep the stream's length deliver exactly the input's
    // frames, a rate or tempo change the input's frames times its factor: the
    // first output frames follow any latency, frames a module delivers ahead
    // of the aligned output are dropped, the rest of the queued output is
    // drained with silence after the input ends; the gaps of a snap go in
    // where the module skipped frames. A tail follows the aligned end.
    int64_t leading = engine.withModule([&](EffectModule* m) -> int64_t { return processed && m ? m->leadingFrames() : 0; });
    summary.leadingFramesDropped = leading;
    summary.lengthFactor = lengthRatio;
    auto deliver = [&](int produced) {
        const int32_t* frames = renderer.output();
        const int dropped = static_cast<int>(std::min<int64_t>(leading, produced));
        frames += static_cast<size_t>(dropped) * channels;
        produced -= dropped;
        leading -= dropped;
        while (produced > 0) {
            const int64_t gap = snapper.nextGapFrame();
            if (gap == gate.taken()) {
                const std::vector<int32_t> fill = snapper.takeGap();
                gate.write(fill.data(), static_cast<int>(fill.size() / channels));
                continue;
            }
            int take = produced;
            if (gap > gate.taken() && gap - gate.taken() < take) take = static_cast<int>(gap - gate.taken());
            gate.write(frames, take);
            frames += static_cast<size_t>(take) * channels;
            produced -= take;
        }
    };

    for (;;) {
        const int read = reader.read(piece.data(), readFrames);
        if (read == 0) break;
        for (int start = 0; start < read; start += job.blockFrames) {
            const int got = std::min(job.blockFrames, read - start);
            int32_t* frames = piece.data() + static_cast<size_t>(start) * inputChannels;
            if (channels != inputChannels) {  // one source for two ears
                for (int f = 0; f < got; ++f) block[2 * f] = block[2 * f + 1] = frames[f];
                frames = block.data();
            }
            snapper.beforeBlock(frames, summary.framesIn, got);
            summary.framesIn += got;
            deliver(renderer.run(frames, got));
        }
        bar.update(summary.framesIn);
    }
    if (!snapper.allSnapped()) {
        throw UsageError("--snap-noise lies beyond the end of the input (" + std::to_string(summary.framesIn) +
                         " frames)");
    }
    const int64_t wanted = std::llround(static_cast<double>(summary.framesIn) * lengthRatio);
    if (tail.untilSilent) tail.limit = ringLimit(engine);
    gate.close(wanted, tail.limit, tail.untilSilent);
    std::fill(block.begin(), block.end(), 0);
    const int64_t drainLimit = static_cast<int64_t>(kMaxDrainSeconds * reader.sampleRate()) +
                               static_cast<int64_t>(std::ceil(static_cast<double>(tail.limit) / lengthRatio));
    for (int64_t drained = 0; !gate.full() && drained < drainLimit; drained += job.blockFrames) {
        deliver(renderer.run(block.data(), job.blockFrames));
    }
    const int64_t required = wanted + (tail.untilSilent ? 0 : tail.limit);
    if (gate.taken() < required) {
        const char* outcome = job.output == "-" ? "the stream to standard output ends early" : "nothing written";
        throw FileError("the module delivered " + std::to_string(gate.taken()) + " of " + std::to_string(required) +
                        " frames; " + outcome);
    }
    sink.flush();
    writer.commit();
    bar.finish();

    summary.framesOut = sink.frames();
    summary.tailFrames = gate.tailFrames();
    summary.framesExpected = reader.expectedFrames();
    summary.damage = reader.damage();
    summary.peakDbfs = sink.peakDbfs();
    summary.clippedSamples = engine.pipeline().clampedSamples();
    summary.inputGainDecibels = job.inputGainDecibels;
    summary.inputClippedSamples = reader.clippedSamples();
    if (reader.peak() > 0) summary.inputPeakDbfs = 20.0 * std::log10(reader.peak());
    summary.processingSeconds = renderer.processingSeconds();
    summary.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double audioSeconds = static_cast<double>(summary.framesIn) / summary.sampleRate;
    if (summary.processingSeconds > 0) summary.processingRealtimeFactor = audioSeconds / summary.processingSeconds;
    if (summary.wallSeconds > 0) summary.realtimeFactor = audioSeconds / summary.wallSeconds;
    return summary;
}
