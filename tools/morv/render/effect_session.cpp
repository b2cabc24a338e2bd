#include "tools/morv/render/effect_session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "registry/module_registry.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/module_names.h"
#include "tools/morv/commands/parameter_values.h"
#include "tools/morv/commands/usage_error.h"

namespace {

bool isWholeNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int channelMaskFor(const std::string& channels, int streamChannels) {
    if (channels == "LR") return streamChannels == 1 ? 1 : 3;
    if (channels == "L") return 1;
    if (channels == "R") {
        if (streamChannels == 1) throw UsageError("--channels R needs a stereo input; this one is mono");
        return 2;
    }
    if (channels == "PASS") return 0;
    throw UsageError("--channels must be LR, L, R or PASS, not \"" + channels + "\"");
}

// A whole number that a 32-bit generator state holds.
uint32_t parseSeed(const std::string& text) {
    constexpr unsigned long long kLargest = 4294967295ULL;
    const bool whole = isWholeNumber(text) && text.size() <= 10;
    const unsigned long long value = whole ? std::strtoull(text.c_str(), nullptr, 10) : 0;
    if (!whole || value > kLargest) {
        throw UsageError("--seed must be a whole number from 0 to 4294967295, not \"" + text + "\"");
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

int EffectSession::resolvePreset(const std::string& text) const {
    const PresetTable table = engine_.presets();
    if (table.count <= 0) {
        throw UsageError("module \"" + std::string(moduleNameText(engine_.moduleIndex())) + "\" has no presets");
    }
    const int exact = engine_.findPreset(text.c_str());
    if (exact >= 0) return exact;
    for (int i = 0; i < table.count; ++i) {
        if (looseName(table.records[i].name) == looseName(text)) return i;
    }
    if (isWholeNumber(text)) {
        const int position = parseInt(text, "--preset");
        if (position < table.count) return position;
    }
    std::string valid;
    for (int i = 0; i < table.count; ++i) valid += std::string(i ? ", \"" : "\"") + table.records[i].name + "\"";
    throw UsageError("unknown preset \"" + text + "\"; presets of this module: " + valid);
}

int EffectSession::resolveParameter(const std::string& name) const {
    const EngineSnapshot shown = engine_.snapshot();
    for (int k = 0; k < shown.parameterCount; ++k) {
        if (name == shown.descriptors[k].name) return k;
    }
    for (int k = 0; k < shown.parameterCount; ++k) {
        if (looseName(name) == looseName(shown.descriptors[k].name)) return k;
    }
    std::string valid;
    for (int k = 0; k < shown.parameterCount; ++k) {
        valid += std::string(k ? ", \"" : "\"") + shown.descriptors[k].name + "\"";
    }
    if (valid.empty()) valid = "none";
    throw UsageError("unknown parameter \"" + name + "\"; parameters of this module: " + valid);
}

// A slider move: the value, its settings word, and "Custom" in the preset list.
void EffectSession::setParameter(int k, double value) {
    const ParamDescriptor d = engine_.snapshot().descriptors[k];
    const double low = std::min(d.min, d.max), high = std::max(d.min, d.max);
    if (value < low || value > high) {
        char range[96];
        std::snprintf(range, sizeof range, "%g to %g", low, high);
        throw UsageError(std::string("value of \"") + d.name + "\" out of range: " + range);
    }
    engine_.switchToCustom();
    engine_.setParameterValue(k, value);
}

EffectSession::EffectSession(const EffectChoice& choice, int sampleRate, int channels) {
    const int mask = channelMaskFor(choice.channels, channels);
    engine_.fixRandomSeed(choice.seed);
    engine_.setStreamFormat(sampleRate, channels);
    engine_.buildModule(choice.moduleIndex, false);
    // As after a module change in the control window: "Custom" starts from
    // the table's last record and the values stay at their defaults.
    engine_.setRestoreState(kRestoreModuleChanged);
    engine_.restoreSettings();

    if (!choice.preset.empty()) {
        const int preset = resolvePreset(choice.preset);
        engine_.applyPreset(preset, nullptr);
        gainDecibels_ = engine_.presets().records[preset].values[0];
    }
    ParameterInfo parameters[kMaxParameters];
    describeModuleParameters(choice.moduleIndex, sampleRate, parameters);
    for (const auto& setting : choice.settings) {
        const int k = resolveParameter(setting.first);
        setParameter(k, parameterValueFromText(parameters[k], setting.second));
    }
    if (choice.hasGain) {
        if (choice.gainDecibels < -60.0 || choice.gainDecibels > 60.0) {
            throw UsageError("--gain must lie between -60 and 60 dB");
        }
        engine_.setGainDecibels(choice.gainDecibels);
        engine_.switchToCustom();
        gainDecibels_ = choice.gainDecibels;
    }
    engine_.setChannelMask(mask);
}

std::string EffectSession::presetName() const {
    const PresetTable table = engine_.presets();
    const int index = engine_.presetIndex();
    if (table.count <= 0 || index < 0 || index >= table.count) return "";
    return table.records[index].name;
}

void readEffectChoice(const CommandLine& line, EffectChoice* choice) {
    if (line.has("module")) choice->moduleIndex = resolveModule(line.value("module"));
    choice->preset = line.value("preset");
    for (const std::string& setting : line.values("set")) {
        const size_t eq = setting.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw UsageError("--set takes NAME=VALUE, not \"" + setting + "\"");
        }
        choice->settings.emplace_back(setting.substr(0, eq), setting.substr(eq + 1));
    }
    if (line.has("gain")) {
        choice->hasGain = true;
        choice->gainDecibels = parseDouble(line.value("gain"), "--gain");
    }
    choice->channels = line.value("channels", "LR");
    if (line.has("seed")) choice->seed = parseSeed(line.value("seed"));
}

std::vector<std::pair<std::string, double>> EffectSession::parameters() const {
    const EngineSnapshot shown = engine_.snapshot();
    std::vector<std::pair<std::string, double>> values;
    for (int k = 0; k < shown.parameterCount; ++k) values.emplace_back(shown.descriptors[k].name, shown.values[k]);
    return values;
}
