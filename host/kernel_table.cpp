// The kernel table of the native build: linked data generated at build time
// (tools/kernel_table). The plug-in reads its resource instead
// (kernel_table_win32.cpp).

#include "effects/spatial/head_kernel_grid.h"
#include "host/display.h"
#include "registry/kernel_table_source.h"

extern "C" const unsigned char morv_kernel_table[];
extern "C" const unsigned char morv_kernel_table_end[];

namespace {

class LinkedKernelTable : public KernelTableSource {
public:
    const unsigned char* acquire() override {
        const bool whole = morv_kernel_table_end - morv_kernel_table == headgrid::kTableBytes;
        return whole ? morv_kernel_table : nullptr;
    }
    void release() override {}
    void reportMissing() override { currentDisplay().showError("A kernel file is missed"); }
};

LinkedKernelTable linkedTable;

}  // namespace

KernelTableSource& platformKernelTable() { return linkedTable; }
