#include "lv2/morv_plugin.h"

#include <cmath>
#include <cstring>

#include <lv2/atom/atom.h>

#include "lv2/port_value.h"
#include "registry/module_registry.h"

namespace {

const char kSettingsKeyUri[] = "https://morv.studio/lv2/state#settings";
const char kPresetKeyUri[] = "https://morv.studio/lv2/state#preset";

template <typename T>
T* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i) {
        if (features[i]->URI && std::strcmp(features[i]->URI, uri) == 0) return static_cast<T*>(features[i]->data);
    }
    return nullptr;
}

// The "channels" port as the engine's channel mask: stereo modules that work
// channel by channel take any of PASS, L, R and both; the others only PASS
// and all their channels.
int channelMaskFor(float value, int channels, bool pairOnly) {
    if (!(value > 0.5f)) return kChannelsPass;  // PASS, and a value that is not a number
    const long choice = std::lround(value);
    if (channels == 1) return kChannelsLeft;
    if (pairOnly) return kChannelsBoth;
    return choice >= kChannelsBoth ? kChannelsBoth : static_cast<int>(choice);
}

}  // namespace

MorvPlugin::MorvPlugin(const PluginVariant& variant, int sampleRate, const LV2_Feature* const* features)
    : variant_(variant), sampleRate_(sampleRate) {
    schedule_ = findFeature<LV2_Worker_Schedule>(features, LV2_WORKER__schedule);
    map_ = findFeature<LV2_URID_Map>(features, LV2_URID__map);
    if (map_) {
        settingsKey_ = map_->map(map_->handle, kSettingsKeyUri);
        presetKey_ = map_->map(map_->handle, kPresetKeyUri);
        chunkType_ = map_->map(map_->handle, LV2_ATOM__Chunk);
        stringType_ = map_->map(map_->handle, LV2_ATOM__String);
    }
    engine_.setStreamFormat(sampleRate_, variant_.channels);
    engine_.setDesignWorker(schedule_ != nullptr);
    engine_.setBackgroundWork(true);
    engine_.buildModule(variant_.moduleIndex, false);
    engine_.setChannelMask(variant_.channels == 1 ? kChannelsLeft : kChannelsBoth);
    const EngineSnapshot shown = engine_.snapshot();
    for (int k = 0; k < shown.parameterCount; ++k) values_[k] = shown.values[k];
    runner_.configure(variant_.channels, kEngineBlockFrames,
                      measureLatency(variant_.moduleIndex, sampleRate_, variant_.channels, kEngineBlockFrames));
}

void MorvPlugin::connectPort(uint32_t port, void* data) {
    const PluginPorts& p = variant_.ports;
    const int index = static_cast<int>(port);
    if (index >= p.audioIn && index < p.audioIn + variant_.channels) {
        audioIn_[index - p.audioIn] = static_cast<const float*>(data);
    } else if (index >= p.audioOut && index < p.audioOut + variant_.channels) {
        audioOut_[index - p.audioOut] = static_cast<float*>(data);
    } else if (index == p.gain) {
        gainPort_ = static_cast<const float*>(data);
    } else if (index == p.channels) {
        channelsPort_ = static_cast<const float*>(data);
    } else if (index >= p.firstParameter && index < p.firstParameter + p.parameterCount) {
        parameterPorts_[index - p.firstParameter] = static_cast<const float*>(data);
    } else if (index == p.snapNoise) {
        snapPort_ = static_cast<const float*>(data);
    } else if (index == p.latency) {
        latencyPort_ = static_cast<float*>(data);
        if (latencyPort_) *latencyPort_ = static_cast<float>(runner_.latencyFrames());
    }
}

// A fresh module, the queues emptied: the stream starts as a file does in
// `morv process`. The values on the ports go in at once and their design is
// prepared here (activate may take its time), so that the first block runs
// with them even when a worker would otherwise build it later.
void MorvPlugin::activate() {
    if (!fresh_) engine_.buildModule(variant_.moduleIndex, true);
    fresh_ = true;
    runner_.reset();
    snapHeld_ = false;
    readControls(true);
    // The host may still set its ports before the first block: read them
    // all again there.
    controlsRead_ = false;
    if (schedule_) engine_.prepareDesign();
    workPending_ = false;
    designCheck_ = true;
}

void MorvPlugin::readControls(bool force) {
    if (gainPort_ && (force || *gainPort_ != lastGain_)) {
        lastGain_ = *gainPort_;
        gainDb_ = portValueToDouble(lastGain_);
        engine_.setMasterGain(std::pow(10.0, gainDb_ / 20.0));
    }
    if (channelsPort_ && (force || *channelsPort_ != lastChannels_)) {
        lastChannels_ = *channelsPort_;
        const bool pairOnly = moduleRow(variant_.moduleIndex).has(kWorksOnThePair);
        engine_.setChannelMask(channelMaskFor(lastChannels_, variant_.channels, pairOnly));
    }
    bool changed = false;
    const int count = variant_.ports.parameterCount;
    for (int k = 0; k < count; ++k) {
        const float* port = parameterPorts_[k];
        if (!port || (!force && *port == lastParameters_[k])) continue;
        lastParameters_[k] = *port;
        // A value that is not a number stays what it was; a value the
        // engine already has asks for no new design.
        const double value = portValueToDouble(*port);
        if (value != value || value == values_[k]) continue;
        values_[k] = value;
        changed = true;
    }
    if (changed) {
        engine_.setParameterValues(values_, count);
        designCheck_ = true;
    }
    if (snapPort_) {
        const bool pressed = *snapPort_ > 0.5f;
        if (pressed && !snapHeld_) engine_.snapNoise();
        snapHeld_ = pressed;
    }
    controlsRead_ = true;
}

// Asks the worker for the design the values call for; one request at a
// time, and another once it has answered if the values moved meanwhile.
void MorvPlugin::scheduleDesign() {
    if (!schedule_ || workPending_ || !designCheck_) return;
    designCheck_ = false;
    if (!engine_.designWanted()) return;
    const uint32_t request = 0;
    if (schedule_->schedule_work(schedule_->handle, sizeof request, &request) == LV2_WORKER_SUCCESS) {
        workPending_ = true;
    } else {
        designCheck_ = true;
    }
}

int MorvPlugin::processBlock(void* self, double* samples, int count) {
    return static_cast<MorvPlugin*>(self)->engine_.processScaled(samples, count);
}

void MorvPlugin::run(uint32_t frames) {
    readControls(!controlsRead_);
    scheduleDesign();
    if (audioIn_[0] && audioOut_[0] && (variant_.channels == 1 || (audioIn_[1] && audioOut_[1]))) {
        runner_.run(audioIn_, audioOut_, static_cast<int>(frames), processBlock, this);
        fresh_ = false;
    }
    if (latencyPort_) *latencyPort_ = static_cast<float>(runner_.latencyFrames());
}

LV2_Worker_Status MorvPlugin::work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle) {
    engine_.prepareDesign();
    const uint32_t done = 1;
    return respond(handle, sizeof done, &done);
}

// The design is ready; the engine installs it at the next block boundary,
// before any audio of that block.
LV2_Worker_Status MorvPlugin::workResponse() {
    workPending_ = false;
    designCheck_ = true;
    return LV2_WORKER_SUCCESS;
}

// The named preset whose gain and values are those in force, else "Custom"
// (the list's last entry); 0 for a module without presets.
int MorvPlugin::presetInForce() const {
    const PresetTable table = presetTableFor(variant_.moduleIndex);
    if (table.count <= 0) return 0;
    const int count = variant_.ports.parameterCount;
    for (int i = 0; i + 1 < table.count; ++i) {
        const PresetRecord& record = table.records[i];
        bool same = record.values[0] == gainDb_;
        for (int k = 0; same && k < count; ++k) same = record.values[k + 1] == values_[k];
        if (same) return i;
    }

    return table.count - 1;
}

LV2_State_Status MorvPlugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!map_) return LV2_STATE_ERR_NO_FEATURE;
    const int preset = presetInForce();
    engine_.setPresetIndex(preset);
    unsigned char settings[kSettingsBytes];
    engine_.saveSettings(settings);
    LV2_State_Status status =
        store(handle, settingsKey_, settings, sizeof settings, chunkType_, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    const PresetTable table = presetTableFor(variant_.moduleIndex);
    if (status == LV2_STATE_SUCCESS && table.count > 0) {
        const char* name = table.records[preset].name;
        status = store(handle, presetKey_, name, std::strlen(name) + 1, stringType_,
                       LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    }
    return status;
}

LV2_State_Status MorvPlugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!map_) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, settingsKey_, &size, &type, &flags);
    if (!data || type != chunkType_ || size < static_cast<size_t>(kSettingsBytes)) return LV2_STATE_SUCCESS;
    // A block saved by another module's plug-in says nothing about this one.
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    int32_t module;
    std::memcpy(&module, bytes + 4 * kSettingsModuleWord, sizeof module);
    if (module != variant_.moduleIndex) return LV2_STATE_SUCCESS;
    engine_.loadSettings(bytes, static_cast<int>(size), true);
    // The values are the ports'; the block brings the preset index and the
    // words, as when the player's window is opened again.
    engine_.setRestoreState(kRestoreReopened);
    engine_.restoreSettings();
    return LV2_STATE_SUCCESS;
}
