#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "host/module_factory.h"
#include "registry/module_registry.h"
#include "host/plugin_state.h"
#include "tools/morv/command_line.h"
#include "tools/morv/commands.h"
#include "tools/morv/json_text.h"
#include "tools/morv/render_job.h"
#include "tools/morv/usage_error.h"

namespace {

void printSummary(const RenderSummary& s, bool json) {
    if (json) {
        std::printf("{\"frames_in\": %lld, \"frames_out\": %lld, \"sample_rate\": %d, \"channels\": %d, "
                    "\"module\": %s, \"preset\": %s, \"peak_dbfs\": %s, \"realtime_factor\": %s}\n",
                    static_cast<long long>(s.framesIn), static_cast<long long>(s.framesOut), s.sampleRate,
                    s.channels, jsonString(s.module).c_str(), jsonString(s.preset).c_str(),
                    jsonNumber(s.peakDbfs).c_str(), jsonNumber(s.realtimeFactor).c_str());
        return;
    }
    std::printf("frames in       %lld\n", static_cast<long long>(s.framesIn));
    std::printf("frames out      %lld\n", static_cast<long long>(s.framesOut));
    std::printf("module          %s\n", s.module.c_str());
    std::printf("preset          %s\n", s.preset.empty() ? "(none)" : s.preset.c_str());
    if (std::isfinite(s.peakDbfs)) {
        std::printf("peak level      %.2f dBFS\n", s.peakDbfs);
    } else {
        std::printf("peak level      silence\n");
    }
    std::printf("real-time       %.1fx\n", s.realtimeFactor);
}

// --snap-noise SECONDS (repeatable, module 3 only): before the block that
// holds each point of the input, restarts the DeNoise capture under the
// processing lock, as the player's "Snap Noise" button does.
BlockHook snapNoiseHook(const CommandLine& line, const EffectChoice& choice) {
    std::vector<double> points;
    for (const std::string& text : line.values("snap-noise")) {
        const double seconds = parseDouble(text, "--snap-noise");
        if (!(seconds >= 0.0)) throw UsageError("--snap-noise must be 0 or more seconds");
        points.push_back(seconds);
    }
    if (points.empty()) return nullptr;
    if (choice.moduleIndex != kModuleDeNoise) throw UsageError("--snap-noise needs --module 3 (Restoration-DeNoise)");
    return [points](int64_t inputFrame, int blockFrames) {
        for (double seconds : points) {
            const int64_t frame = static_cast<int64_t>(std::llround(seconds * SampleRate));
            if (frame < inputFrame || frame >= inputFrame + blockFrames) continue;
            snapNoise();
        }
    };
}

}  // namespace

int runProcessCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {"module", "preset", "set", "gain", "channels", "block", "bits", "snap-noise"}, {"json", "quiet"});
    if (line.positional().size() != 2) throw UsageError("process needs an input and an output file");
    RenderJob job;
    job.input = line.positional()[0];
    job.output = line.positional()[1];
    readEffectChoice(line, &job.choice);
    job.blockFrames = parseInt(line.value("block", "576"), "--block");
    job.bits = parseInt(line.value("bits", "16"), "--bits");
    const bool quiet = line.flag("quiet");
    job.progress = !quiet && isatty(2);

    const RenderSummary summary = renderFile(job, snapNoiseHook(line, job.choice));
    if (!quiet || line.flag("json")) printSummary(summary, line.flag("json"));
    return 0;
}
