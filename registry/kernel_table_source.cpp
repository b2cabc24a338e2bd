#include "registry/kernel_table_source.h"

#include "effects/spatial/virtual_3d.h"

std::unique_ptr<EffectModule> buildVirtual3D(KernelTableSource& source, int rate, int channels) {
    const unsigned char* table = source.acquire();
    std::unique_ptr<Virtual3D> module;
    try {
        module = std::make_unique<Virtual3D>(rate, channels, table);
    } catch (...) {
        if (table) source.release();
        throw;
    }
    if (table) {
        source.release();
    } else {
        source.reportMissing();
    }
    return module;
}
