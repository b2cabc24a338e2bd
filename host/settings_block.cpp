#include "host/settings_block.h"

#include <cmath>
#include <cstdint>

#include "framework/slider_scale.h"

namespace {

// True from a load that read stored words until they are first turned into
// values: until then the values in force are not the user's, and saving them
// would overwrite the stored settings (a library loaded and unloaded without
// being activated, as a player's preferences page does).
bool storedWordsPending = false;

// The descriptors are read under the lock: the audio thread rewrites them
// when it rebuilds the module for a new stream format.
void wordsFromLastPreset(const PresetRecord* table, int count) {
    const PresetRecord& custom = table[count - 1];
    ProcessingLock::Guard guard(ModuleLock);
    PluginSettings[0] = decibelsToGainSlider(custom.values[0]);
    for (int k = 0; k < ParameterCount; ++k) {
        PluginSettings[k + 1] = valueToSlider(ParameterDescriptors[k], custom.values[k + 1]);
    }
}

// The values change under the lock: the audio thread hands them to the
// module it rebuilds for a new stream format.
void valuesFromWords() {
    MasterGain = gainSliderToGain(PluginSettings[0]);
    ProcessingLock::Guard guard(ModuleLock);
    for (int k = 0; k < ParameterCount; ++k) {
        ParameterValues[k] = sliderToValue(ParameterDescriptors[k], PluginSettings[k + 1]);
    }
    if (CurrentModule) CurrentModule->applyParameters(ParameterValues);
}

int moduleTable(const PresetRecord** table) {
    *table = nullptr;
    ProcessingLock::Guard guard(ModuleLock);
    if (!CurrentModule) return 0;
    const int count = CurrentModule->presets(table);
    return *table ? count : 0;
}

}  // namespace

void loadSettings(const unsigned char* bytes, int length, bool readOk) {
    RestoreState = kRestoreLoaded;
    storedWordsPending = readOk && bytes && length > 0;
    if (!readOk || !bytes) {
        ModuleIndex = 0;
        PresetIndex = 0;
        return;
    }
    if (length > kSettingsBytes) length = kSettingsBytes;
    for (int i = 0; i < length; ++i) {
        uint32_t word = static_cast<uint32_t>(PluginSettings[i / 4]);
        const int shift = 8 * (i % 4);
        word = (word & ~(0xFFu << shift)) | (static_cast<uint32_t>(bytes[i]) << shift);
        PluginSettings[i / 4] = static_cast<int>(word);
    }
    const int module = PluginSettings[kSettingsModuleWord];
    if (module >= 0 && module <= 17) {
        ModuleIndex = module;
        PresetIndex = PluginSettings[kSettingsPresetWord];
    } else {
        ModuleIndex = 0;
        PresetIndex = 0;
    }
}

void saveSettings(unsigned char bytes[kSettingsBytes]) {
    PluginSettings[kSettingsModuleWord] = ModuleIndex;
    PluginSettings[kSettingsPresetWord] = PresetIndex;
    if (!storedWordsPending) {
        PluginSettings[0] = gainSliderPosition();
        for (int k = 1; k <= ParameterCount && k < kSettingsPresetWord; ++k) PluginSettings[k] = parameterSliderPosition(k - 1);
    }
    for (int w = 0; w < kSettingsWords; ++w) {
        const uint32_t word = static_cast<uint32_t>(PluginSettings[w]);
        for (int b = 0; b < 4; ++b) bytes[4 * w + b] = static_cast<unsigned char>(word >> (8 * b));
    }
}

void restoreSettings() {
    storedWordsPending = false;
    const PresetRecord* table = nullptr;
    const int count = moduleTable(&table);
    if (RestoreState == kRestoreLoaded) {
        if (PresetIndex != 0 || count <= 0) {
            valuesFromWords();
        } else {
            wordsFromLastPreset(table, count);
        }
    } else if (RestoreState == kRestoreModuleChanged) {
        PresetIndex = 0;
        if (count > 0) wordsFromLastPreset(table, count);
    }
    RestoreState = kRestoreLoaded;
}

// A stored word that gives exactly the value in force is kept: turning the
// value back into a position can land one below the position it came from,
// and a setting saved again and again would drift down.
int gainSliderPosition() {
    return gainSliderToGain(PluginSettings[0]) == MasterGain ? PluginSettings[0] : gainToSlider(MasterGain);
}

int parameterSliderPosition(int k) {
    ProcessingLock::Guard guard(ModuleLock);
    const ParamDescriptor& d = ParameterDescriptors[k];
    const double value = ParameterValues[k];
    if (k + 1 < kSettingsPresetWord && sliderToValue(d, PluginSettings[k + 1]) == value) return PluginSettings[k + 1];
    return valueToSlider(d, value);
}
