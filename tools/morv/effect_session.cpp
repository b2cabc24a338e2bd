#include "tools/morv/effect_session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "host/module_factory.h"
#include "registry/module_registry.h"
#include "host/preset_selection.h"
#include "framework/slider_scale.h"
#include "host/plugin_state.h"
#include "host/settings_block.h"
#include "tools/morv/command_line.h"
#include "tools/morv/module_names.h"
#include "tools/morv/usage_error.h"

namespace {

bool isWholeNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int resolvePreset(const std::string& text) {
    const PresetRecord* table = nullptr;
    const int count = CurrentModule ? CurrentModule->presets(&table) : 0;
    if (count <= 0 || !table) {
        throw UsageError("module \"" + std::string(moduleNameText(ModuleIndex)) + "\" has no presets");
    }
    int exact = findPreset(text.c_str());
    if (exact >= 0) return exact;
    for (int i = 0; i < count; ++i) {
        if (looseName(table[i].name) == looseName(text)) return i;
    }
    if (isWholeNumber(text)) {
        const int position = parseInt(text, "--preset");
        if (position < count) return position;
    }
    std::string valid;
    for (int i = 0; i < count; ++i) valid += std::string(i ? ", \"" : "\"") + table[i].name + "\"";
    throw UsageError("unknown preset \"" + text + "\"; presets of this module: " + valid);
}

int resolveParameter(const std::string& name) {
    for (int k = 0; k < ParameterCount; ++k) {
        if (name == ParameterDescriptors[k].name) return k;
    }
    for (int k = 0; k < ParameterCount; ++k) {
        if (looseName(name) == looseName(ParameterDescriptors[k].name)) return k;
    }
    std::string valid;
    for (int k = 0; k < ParameterCount; ++k) {
        valid += std::string(k ? ", \"" : "\"") + ParameterDescriptors[k].name + "\"";
    }
    if (valid.empty()) valid = "none";
    throw UsageError("unknown parameter \"" + name + "\"; parameters of this module: " + valid);
}

// Any slider move, the gain's included, shows "Custom" in the preset list.
void switchToCustom() {
    if (CurrentModule && CurrentModule->presetCount() > 0) PresetIndex = CurrentModule->presetCount() - 1;
}

// A slider move: the value, its settings word, and "Custom" in the preset list.
void setParameter(int k, double value) {
    const ParamDescriptor& d = ParameterDescriptors[k];
    const double low = std::min(d.min, d.max), high = std::max(d.min, d.max);
    if (value < low || value > high) {
        char range[96];
        std::snprintf(range, sizeof range, "%g to %g", low, high);
        throw UsageError(std::string("value of \"") + d.name + "\" out of range: " + range);
    }
    ParameterValues[k] = value;
    PluginSettings[k + 1] = valueToSlider(d, value);
    switchToCustom();
    ProcessingLock::Guard guard(ModuleLock);
    if (CurrentModule) CurrentModule->applyParameters(ParameterValues);
}

// The master gain in force in decibels, as the preset or --gain gave it.
double gainInForce = 0.0;

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

}  // namespace

void startEffectSession(const EffectChoice& choice, int sampleRate, int channels) {
    resetPluginState();
    const int mask = channelMaskFor(choice.channels, channels);
    SampleRate = sampleRate;
    ChannelCount = channels;
    ModuleIndex = choice.moduleIndex;
    {
        ProcessingLock::Guard guard(ModuleLock);
        ModuleFactory(SampleRate, ChannelCount, false);
    }
    // As after a module change in the control window: "Custom" starts from
    // the table's last record and the values stay at their defaults.
    RestoreState = kRestoreModuleChanged;
    restoreSettings();

    gainInForce = 0.0;
    if (!choice.preset.empty()) {
        const int preset = resolvePreset(choice.preset);
        applyPreset(preset, nullptr);
        const PresetRecord* table = nullptr;
        CurrentModule->presets(&table);
        gainInForce = table[preset].values[0];
    }
    for (const auto& setting : choice.settings) {
        setParameter(resolveParameter(setting.first), parseDouble(setting.second, "value of " + setting.first));
    }
    if (choice.hasGain) {
        if (choice.gainDecibels < -60.0 || choice.gainDecibels > 60.0) {
            throw UsageError("--gain must lie between -60 and 60 dB");
        }
        MasterGain = std::pow(10.0, choice.gainDecibels / 20.0);
        PluginSettings[0] = decibelsToGainSlider(choice.gainDecibels);
        switchToCustom();
        gainInForce = choice.gainDecibels;
    }
    ChannelMask = mask;
}

std::string currentPresetName() {
    const PresetRecord* table = nullptr;
    const int count = CurrentModule ? CurrentModule->presets(&table) : 0;
    if (count <= 0 || !table || PresetIndex < 0 || PresetIndex >= count) return "";
    return table[PresetIndex].name;
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
}

std::vector<std::pair<std::string, double>> parametersInForce() {
    std::vector<std::pair<std::string, double>> values;
    for (int k = 0; k < ParameterCount; ++k) values.emplace_back(ParameterDescriptors[k].name, ParameterValues[k]);
    return values;
}

double gainInForceDecibels() { return gainInForce; }
