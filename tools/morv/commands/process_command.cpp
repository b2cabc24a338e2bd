#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/json_text.h"
#include "tools/morv/commands/parameter_values.h"
#include "tools/morv/render/render_job.h"
#include "tools/morv/commands/usage_error.h"

namespace {

constexpr double kMaxInputGainDecibels = 100.0;

std::string jsonSummary(const RenderSummary& s) {
    std::string parameters;
    for (const auto& p : s.parameters) {
        parameters += (parameters.empty() ? "" : ", ") + jsonString(p.first) + ": " + jsonNumber(p.second);
    }
    auto field = [](const char* name, const std::string& value) { return std::string("\"") + name + "\": " + value; };
    const std::vector<std::string> fields = {
        field("input", jsonString(s.input)),
        field("output", jsonString(s.output)),
        field("frames_in", std::to_string(s.framesIn)),
        field("frames_out", std::to_string(s.framesOut)),
        field("frames_expected", s.framesExpected >= 0 ? std::to_string(s.framesExpected) : "null"),
        field("input_complete", s.damage.empty() ? "true" : "false"),
        field("input_problem", s.damage.empty() ? "null" : jsonString(s.damage)),
        field("leading_frames_dropped", std::to_string(s.leadingFramesDropped)),
        field("length_factor", jsonNumber(s.lengthFactor)),
        field("sample_rate", std::to_string(s.sampleRate)),
        field("channels", std::to_string(s.channels)),
        field("input_channels", std::to_string(s.inputChannels)),
        field("tail_frames", std::to_string(s.tailFrames)),
        field("seed", std::to_string(s.seed)),
        field("module_index", std::to_string(s.moduleIndex)),
        field("module", jsonString(s.module)),
        field("marker", jsonString(s.marker)),
        field("preset", jsonString(s.preset)),
        field("gain_db", jsonNumber(s.gainDecibels)),
        field("parameters", "{" + parameters + "}"),
        field("bits", std::to_string(s.bits)),
        field("output_format", jsonString(s.outputFormat)),
        field("peak_dbfs", jsonNumber(s.peakDbfs)),
        field("clipped_samples", std::to_string(s.clippedSamples)),
        field("input_gain_db", jsonNumber(s.inputGainDecibels)),
        field("input_clipped_samples", std::to_string(s.inputClippedSamples)),
        field("wall_seconds", jsonNumber(s.wallSeconds)),
        field("processing_seconds", jsonNumber(s.processingSeconds)),
        field("realtime_factor", jsonNumber(s.realtimeFactor)),
        field("processing_realtime_factor", jsonNumber(s.processingRealtimeFactor)),
    };
    std::string json = "{";
    for (size_t i = 0; i < fields.size(); ++i) json += (i ? ", " : "") + fields[i];
    return json + "}\n";
}

// "Ratio=-1 (0.5×), ...": as stored, what the knob shows beside.
std::string parametersText(const RenderSummary& s) {
    ParameterInfo info[kMaxParameters];
    const int count = describeModuleParameters(s.moduleIndex, s.sampleRate, info);
    std::string parameters;
    for (size_t k = 0; k < s.parameters.size(); ++k) {
        const auto& p = s.parameters[k];
        const bool described = static_cast<int>(k) < count && p.first == info[k].descriptor.name;
        parameters += (parameters.empty() ? "" : ", ") + p.first + "=" +
                      (described ? valueWithShown(info[k], p.second) : jsonNumber(p.second));
    }
    return parameters;
}

void printText(FILE* to, const RenderSummary& s) {
    const std::string parameters = parametersText(s);
    std::fprintf(to, "input           %s\n", s.input.c_str());
    std::fprintf(to, "output          %s (%s, %d-bit processing)\n", s.output.c_str(), s.outputFormat.c_str(), s.bits);
    std::fprintf(to, "frames in       %lld\n", static_cast<long long>(s.framesIn));
    std::fprintf(to, "frames out      %lld\n", static_cast<long long>(s.framesOut));
    if (s.tailFrames > 0) std::fprintf(to, "tail            %lld frames\n", static_cast<long long>(s.tailFrames));
    std::fprintf(to, "module          %d %s  %s\n", s.moduleIndex, s.module.c_str(), s.marker.c_str());
    std::fprintf(to, "preset          %s\n", s.preset.empty() ? "(none)" : s.preset.c_str());
    std::fprintf(to, "gain            %s dB\n", jsonNumber(s.gainDecibels).c_str());
    std::fprintf(to, "parameters      %s\n", parameters.empty() ? "(none)" : parameters.c_str());
    if (std::isfinite(s.peakDbfs)) {
        std::fprintf(to, "peak level      %.2f dBFS\n", s.peakDbfs);
    } else {
        std::fprintf(to, "peak level      silence\n");
    }
    std::fprintf(to, "clipped         %lld samples\n", static_cast<long long>(s.clippedSamples));
    if (s.inputClippedSamples > 0 || s.inputGainDecibels != 0.0) {
        std::fprintf(to, "input clipped   %lld samples (input gain %s dB)\n",
                     static_cast<long long>(s.inputClippedSamples), jsonNumber(s.inputGainDecibels).c_str());
    }
    std::fprintf(to, "time            %.3f s (%.3f s processing)\n", s.wallSeconds, s.processingSeconds);
    std::fprintf(to, "real-time       %.1fx whole run, %.1fx processing only\n", s.realtimeFactor,
                 s.processingRealtimeFactor);
}

// Every line a render prints names its input, so that a batch run in
// parallel says which file a message belongs to.
std::string aboutInput(const std::string& input, const std::string& message) {
    const std::string name = input == "-" ? "standard input" : input;
    if (message.find(name) != std::string::npos) return message;
    return name + ": " + message;
}

void warnAbout(const RenderSummary& s) {
    if (!s.damage.empty()) std::fprintf(stderr, "morv process: warning: %s\n", aboutInput(s.input, s.damage).c_str());
    if (s.inputClippedSamples > 0) {
        // The gain that brings the input's peak just under full scale.
        const double room = -std::ceil(s.inputPeakDbfs * 10.0) / 10.0 - 0.1;
        char advice[64] = "";
        if (std::isfinite(room)) std::snprintf(advice, sizeof advice, "; --input-gain %.1f makes room", room);
        std::fprintf(stderr, "morv process: warning: %s\n",
                     aboutInput(s.input, std::to_string(s.inputClippedSamples) +
                                             " input samples above full scale were clipped as they were read" +
                                             advice).c_str());
    }
    if (s.clippedSamples > 0) {
        std::fprintf(stderr, "morv process: warning: %s\n",
                     aboutInput(s.input, std::to_string(s.clippedSamples) + " samples clipped at the limits of the " +
                                             std::to_string(s.bits) + "-bit range").c_str());
    }
}

}  // namespace

int runProcessCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {"module", "preset", "set", "gain", "input-gain", "channels", "block", "bits", "type",
                            "snap-noise", "tail", "seed"},
                     {"json", "quiet"});
    if (line.positional().size() != 2) throw UsageError("process needs an input and an output file");
    RenderJob job;
    job.input = line.positional()[0];
    job.output = line.positional()[1];
    readEffectChoice(line, &job.choice);
    job.blockFrames = parseInt(line.value("block", "576"), "--block");
    if (line.has("bits")) job.bits = parseInt(line.value("bits"), "--bits");
    job.inputGainDecibels = parseDouble(line.value("input-gain", "0"), "--input-gain");
    if (!(std::fabs(job.inputGainDecibels) <= kMaxInputGainDecibels)) {
        throw UsageError("--input-gain must be -100 to 100 dB");
    }
    job.type = line.value("type");
    for (const std::string& text : line.values("snap-noise")) {
        const double seconds = parseDouble(text, "--snap-noise");
        if (seconds < 0.0) throw UsageError("--snap-noise must be 0 or more seconds");
        job.snapSeconds.push_back(seconds);
    }
    if (line.has("tail")) {
        job.tailSeconds = parseDouble(line.value("tail"), "--tail");
        if (job.tailSeconds < 0.0) throw UsageError("--tail must be 0 to 3600 seconds");
    }
    const bool quiet = line.flag("quiet");
    job.progress = !quiet && isatty(2);

    RenderSummary summary;
    try {
        summary = renderFile(job);
    } catch (const UsageError& e) {
        throw UsageError(aboutInput(job.input, e.what()));
    } catch (const FileError& e) {
        throw FileError(aboutInput(job.input, e.what()));
    }
    warnAbout(summary);
    // With the audio on standard output the summary goes to standard error.
    FILE* to = job.output == "-" ? stderr : stdout;
    if (line.flag("json")) {
        std::fputs(jsonSummary(summary).c_str(), to);
    } else if (!quiet) {
        printText(to, summary);
    }
    return 0;
}
