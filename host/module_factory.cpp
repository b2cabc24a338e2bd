#include "host/module_factory.h"

#include "effects/restoration/de_noise.h"
#include "host/plugin_state.h"
#include "registry/module_factory.h"

void ModuleFactory(int rate, int channels, bool keep) {
    const ModuleSlot slot{&CurrentModule, ParameterDescriptors, &ParameterCount, ParameterValues, &MasterGain};
    rebuildModule(slot, ModuleIndex, rate, channels, keep);
}

void snapNoise() {
    ProcessingLock::Guard guard(ModuleLock);
    if (auto* denoise = dynamic_cast<DeNoise*>(CurrentModule.get())) denoise->snapNoise();
}
