#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/audio_io/audio_file_writer.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/json_text.h"
#include "tools/morv/commands/parameter_values.h"
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

// What each module's file plays: a named preset where the module has any
// (not one that leaves the sound as it is, such as "FLAT" or "Original"),
// else slider values or a gain that make the module's work heard.
struct DemoSetting {
    int module;
    const char* preset;  // "" for none
    std::vector<std::pair<std::string, std::string>> settings;
    double gainDecibels;  // NaN: no --gain
};

const std::vector<DemoSetting>& demoSettings() {
    const double none = std::nan("");
    static const std::vector<DemoSetting> settings = {
        {kModuleLevelTuning, "", {}, -6.0},
        {kModuleDeClick, "", {}, none},           // the clicks of the last third
        {kModuleDeHiss, "", {{"Thresh", "1"}}, none},
        {kModuleDeNoise, "", {}, none},           // learns the bare noise at the start
        {kModuleFirstEqualizer, "BASS", {}, none},
        {kModuleFirstEqualizer + 1, "Low Pass", {}, none},
        {kModuleFirstEqualizer + 2, "Telephone", {}, none},
        {kModuleFirstEqualizer + 3, "Classic-V", {}, none},
        {kModuleLastEqualizer, "HomeTheater", {}, none},
        {kModuleDeVocalMono, "WIDE Cut", {}, none},
        {kModuleDeVocalStereo, "DeVocalWide", {}, none},
        {kModuleModalReverb, "Large Hall", {}, none},
        {kModuleVirtual3D, "Left", {}, none},
        {kModuleResampler, "UpSample", {}, none},
        {kModuleTempoScaler, "SlowDown", {}, none},
        {kModulePitchScaler, "Child", {}, none},
        {kModuleVibrato, "", {}, none},           // 8 Hz, the delay swinging over 2 ms
        {kModuleWhisper, "", {}, none},
    };
    return settings;
}

// The setting as the table names it: the preset, the slider values, the gain.
std::string settingName(const DemoSetting& setting, const RenderSummary& summary) {
    if (*setting.preset) return setting.preset;
    if (!std::isnan(setting.gainDecibels)) return "gain " + jsonNumber(setting.gainDecibels) + " dB";
    std::string name;
    ParameterInfo parameters[kMaxParameters];
    const int count = describeModuleParameters(setting.module, summary.sampleRate, parameters);
    for (int k = 0; k < count && k < static_cast<int>(summary.parameters.size()); ++k) {
        name += (name.empty() ? "" : ", ") + std::string(parameters[k].descriptor.name) + " " +
                valueWithShown(parameters[k], summary.parameters[k].second);
    }
    return setting.settings.empty() ? "defaults: " + name : name;
}

// Text followed by spaces up to a width in characters (UTF-8 counted once).
std::string padded(const std::string& text, size_t width) {
    size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
    return text + std::string(characters < width ? width - characters : 0, ' ');
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
    std::printf("demo input: %s (%.0f s of 44100 Hz stereo: noise alone, a chord, a chirp, a tone under the noise "
                "with clicks)\nin %s/:\n\n",
                input.c_str(), kDemoSeconds, dir.c_str());
    std::printf("%-23s %-36s %-32s %9s %10s %9s\n", "module", "setting", "file", "frames in", "frames out",
                "real-time");
    for (const DemoSetting& setting : demoSettings()) {
        RenderJob job;
        job.input = input;
        const std::string file = fileStem(setting.module) + ".wav";
        job.output = dir + "/" + file;
        job.choice.moduleIndex = setting.module;
        job.choice.preset = setting.preset;
        job.choice.settings = setting.settings;
        job.choice.hasGain = !std::isnan(setting.gainDecibels);
        if (job.choice.hasGain) job.choice.gainDecibels = setting.gainDecibels;
        const RenderSummary s = renderFile(job);
        std::printf("%s %s %s %9lld %10lld %8.0fx\n", padded(moduleNameText(setting.module), 23).c_str(),
                    padded(settingName(setting, s), 36).c_str(), padded(file, 32).c_str(),
                    static_cast<long long>(s.framesIn), static_cast<long long>(s.framesOut), s.processingRealtimeFactor);
    }
    std::printf("\nThe real-time factor counts the processing only. Each setting is one of the module's presets, or "
                "its slider values (morv help values), or a gain.\n");
    return 0;
}
