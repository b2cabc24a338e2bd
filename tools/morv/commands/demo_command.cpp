#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/audio_io/audio_file_writer.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/render/demo_signal.h"
#include "tools/morv/render/render_job.h"
#include "tools/morv/commands/usage_error.h"

namespace {

constexpr int kDemoRate = 44100;
constexpr double kDemoSeconds = 6.0;

// "GEQ-10 Bands 1    Oct" -> "05-geq-10-bands-1-oct"
std::string fileStem(int index) {
    std::string stem = (index < 10 ? "0" : "") + std::to_string(index) + "-";
    bool dash = false;
    for (const char* p = moduleNameText(index); *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (std::isalnum(c)) {
            if (dash) stem += '-';
            stem += static_cast<char>(std::tolower(c));
            dash = false;
        } else {
            dash = stem.back() != '-';
        }
    }
    return stem;
}

std::string firstPresetName(int index) {
    const PresetTable table = moduleRow(index).presets;
    return table.count > 0 ? table.records[0].name : "";
}

}  // namespace

int runDemoCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {}, {});
    if (line.positional().size() > 1) throw UsageError("demo takes at most one folder");
    const std::string dir = line.positional().empty() ? "demo-output" : line.positional()[0];
    mkdir(dir.c_str(), 0777);
    struct stat info;
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) throw FileError("cannot create folder " + dir);

    const std::string input = dir + "/demo-input.wav";
    {
        const std::vector<int32_t> signal = makeDemoSignal(kDemoRate, kDemoSeconds);
        AudioFileWriter writer(input, kDemoRate, 2, OutputFormat{}, -1);
        writer.write(signal.data(), static_cast<int>(signal.size() / 2));
        writer.commit();
    }
    std::printf("demo input: %s (%.0f s of 44100 Hz stereo: chord, chirp, noise with clicks)\n\n", input.c_str(),
                kDemoSeconds);
    std::printf("%-26s %-16s %-44s %9s %9s %10s\n", "module", "preset", "output", "frames in", "frames out",
                "real-time (processing only)");
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        RenderJob job;
        job.input = input;
        job.output = dir + "/" + fileStem(index) + ".wav";
        job.choice.moduleIndex = index;
        job.choice.preset = firstPresetName(index);
        const RenderSummary s = renderFile(job);
        std::printf("%-26s %-16s %-44s %9lld %9lld %9.0fx\n", moduleNameText(index),
                    s.preset.empty() ? "-" : s.preset.c_str(), job.output.c_str(),
                    static_cast<long long>(s.framesIn), static_cast<long long>(s.framesOut), s.processingRealtimeFactor);
    }
    return 0;
}
