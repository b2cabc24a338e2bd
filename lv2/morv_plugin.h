#pragma once

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "host/engine.h"
#include "lv2/block_runner.h"
#include "lv2/plugin_catalog.h"

// One LV2 instance: an Engine built for the variant's module at the host's
// rate, its control ports read at every block boundary, its audio run
// through a BlockRunner at the 24-bit integer scale. Designs (filters, room
// responses, kernels) are prepared by the host's worker when it offers one
// and built inline at the next block otherwise, as in the player. Work that
// is due only later (the reverb's long partitions) runs on the module's own
// threads, so that the block in which it falls stays as short as the others.
class MorvPlugin {
public:
    // Audio blocks go to the engine in blocks of this many frames. The
    // reported latency is this less one plus whatever the module holds back.
    static constexpr int kEngineBlockFrames = 64;

    MorvPlugin(const PluginVariant& variant, int sampleRate, const LV2_Feature* const* features);
    MorvPlugin(const MorvPlugin&) = delete;
    MorvPlugin& operator=(const MorvPlugin&) = delete;

    void connectPort(uint32_t port, void* data);
    void activate();
    void run(uint32_t frames);
    void deactivate() {}

    // Worker interface: the worker thread prepares the design the values in
    // force call for; the next block installs it.
    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle);
    LV2_Worker_Status workResponse();

    // State interface: the player's 160-byte settings block (module, the
    // preset the values come from, the "Custom" slider words) and the name
    // of that preset; the ports hold the gain, the channels and the values.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    int latencyFrames() const { return runner_.latencyFrames(); }
    Engine& engine() { return engine_; }

private:
    // The values of the control ports, taken once per block.
    void readControls(bool force);
    void scheduleDesign();
    int presetInForce() const;
    static int processBlock(void* self, double* samples, int count);

    const PluginVariant& variant_;
    const int sampleRate_;
    Engine engine_;
    BlockRunner runner_;

    // Ports.
    const float* audioIn_[2] = {nullptr, nullptr};
    float* audioOut_[2] = {nullptr, nullptr};
    const float* gainPort_ = nullptr;
    const float* channelsPort_ = nullptr;
    const float* parameterPorts_[kMaxParameters] = {};
    const float* snapPort_ = nullptr;
    float* latencyPort_ = nullptr;

    // The port values last handed to the engine.
    float lastGain_ = 0.0f;
    float lastChannels_ = 0.0f;
    float lastParameters_[kMaxParameters] = {};
    bool snapHeld_ = false;
    bool controlsRead_ = false;
    double values_[kMaxParameters] = {};
    double gainDb_ = 0.0;

    // Host features.
    LV2_Worker_Schedule* schedule_ = nullptr;
    LV2_URID_Map* map_ = nullptr;
    LV2_URID settingsKey_ = 0, presetKey_ = 0, chunkType_ = 0, stringType_ = 0;

    // The audio thread's own: a design request is with the worker, or the
    // values may have changed since the last one.
    bool workPending_ = false;
    bool designCheck_ = false;
    // The module has processed nothing since it was built.
    bool fresh_ = true;
};
