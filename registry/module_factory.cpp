#include "registry/module_factory.h"

#include <cstring>
#include <new>

#include "registry/module_registry.h"

namespace {

bool sameDescriptor(const ParamDescriptor& a, const ParamDescriptor& b) {
    return std::memcmp(a.name, b.name, sizeof a.name) == 0 && a.max == b.max && a.min == b.min &&
           a.defaultValue == b.defaultValue;
}

}  // namespace

void rebuildModule(const ModuleSlot& slot, int moduleIndex, int rate, int channels, bool keep) {
    slot.module->reset();
    try {
        *slot.module = createModule(moduleIndex, rate, channels);
    } catch (const std::bad_alloc&) {
        slot.module->reset();
        *slot.parameterCount = 0;
        return;
    }
    EffectModule& module = **slot.module;
    ParamDescriptor described[kMaxParameters] = {};
    const int count = module.describeParameters(described);
    for (int k = 0; k < count; ++k) {
        if (!sameDescriptor(slot.descriptors[k], described[k])) slot.descriptors[k] = described[k];
    }
    if (*slot.parameterCount != count) *slot.parameterCount = count;
    if (!keep) {
        *slot.masterGain = 1.0;
        for (int k = 0; k < *slot.parameterCount; ++k) slot.values[k] = slot.descriptors[k].defaultValue;
    }
    module.applyParameters(slot.values);
}
