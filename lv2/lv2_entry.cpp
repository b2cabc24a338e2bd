// The bundle's binary: lv2_descriptor and the C callbacks, one descriptor
// per catalogue entry, each forwarding to a MorvPlugin.
#include <cstring>
#include <new>
#include <vector>

#include "lv2/morv_plugin.h"
#include "lv2/plugin_catalog.h"

namespace {

MorvPlugin* self(LV2_Handle instance) { return static_cast<MorvPlugin*>(instance); }

const PluginVariant* variantOf(const char* uri) {
    for (const PluginVariant& v : pluginCatalog()) {
        if (v.uri == uri) return &v;
    }
    return nullptr;
}

LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char* /*bundle*/,
                       const LV2_Feature* const* features) {
    const PluginVariant* variant = variantOf(descriptor->URI);
    if (!variant || !(rate >= 1.0)) return nullptr;
    try {
        return new MorvPlugin(*variant, static_cast<int>(rate + 0.5), features);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) { self(instance)->connectPort(port, data); }
void activate(LV2_Handle instance) { self(instance)->activate(); }
void run(LV2_Handle instance, uint32_t frames) { self(instance)->run(frames); }
void deactivate(LV2_Handle instance) { self(instance)->deactivate(); }
void cleanup(LV2_Handle instance) { delete self(instance); }

LV2_Worker_Status work(LV2_Handle instance, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                       uint32_t /*size*/, const void* /*data*/) {
    return self(instance)->work(respond, handle);
}

LV2_Worker_Status workResponse(LV2_Handle instance, uint32_t /*size*/, const void* /*body*/) {
    return self(instance)->workResponse();
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
    return self(instance)->save(store, handle);
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
    return self(instance)->restore(retrieve, handle);
}

const LV2_Worker_Interface kWorker = {work, workResponse, nullptr};
const LV2_State_Interface kState = {save, restore};

const void* extensionData(const char* uri) {
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &kWorker;
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &kState;
    return nullptr;
}

std::vector<LV2_Descriptor> makeDescriptors() {
    std::vector<LV2_Descriptor> descriptors;
    for (const PluginVariant& v : pluginCatalog()) {
        descriptors.push_back(LV2_Descriptor{v.uri.c_str(), instantiate, connectPort, activate, run, deactivate,
                                             cleanup, extensionData});
    }
    return descriptors;
}

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    static const std::vector<LV2_Descriptor> descriptors = makeDescriptors();
    return index < descriptors.size() ? &descriptors[index] : nullptr;
}
