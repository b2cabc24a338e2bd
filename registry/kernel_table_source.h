#pragma once

#include <memory>

#include "framework/effect_module.h"

// Where the head-related kernel table of "Spacial-Virtual3D" comes from. The
// table is embedded in the binary: a resource of the plug-in library, linked
// data in the native build. The platform side (host/) provides the source of
// its build through platformKernelTable().
class KernelTableSource {
public:
    virtual ~KernelTableSource() = default;
    // The table's bytes (headgrid::kTableBytes of them), or null when the
    // binary lacks it.
    virtual const unsigned char* acquire() = 0;
    // Ends the use of what acquire returned.
    virtual void release() = 0;
    // Tells the user that the table is missing ("A kernel file is missed").
    virtual void reportMissing() = 0;
};

// The source of this build; defined in host/.
KernelTableSource& platformKernelTable();

// A Virtual3D module built from the source's table (converted at once, then
// released). Without a table the loss is reported once and the module is silent.
std::unique_ptr<EffectModule> buildVirtual3D(KernelTableSource& source, int rate, int channels);
