#include "registry/module_factory.h"

#include <new>

#include "registry/module_registry.h"

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
    *slot.parameterCount = module.describeParameters(slot.descriptors);
    if (!keep) {
        *slot.masterGain = 1.0;
        for (int k = 0; k < *slot.parameterCount; ++k) slot.values[k] = slot.descriptors[k].defaultValue;
    }
    module.applyParameters(slot.values);
}
