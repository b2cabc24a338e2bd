// The kernel table of the plug-in: resource "BINHIR" 121 of the library.

#include <windows.h>

#include "effects/spatial/head_kernel_grid.h"
#include "host/window_side_win32.h"
#include "registry/kernel_table_source.h"
#include "resources/resource_ids.h"

namespace {

class ResourceKernelTable : public KernelTableSource {
public:
    const unsigned char* acquire() override {
        HRSRC found = FindResourceA(LibraryInstance, MAKEINTRESOURCEA(IDR_KERNEL_TABLE), "BINHIR");
        if (!found || SizeofResource(LibraryInstance, found) != static_cast<DWORD>(headgrid::kTableBytes)) {
            return nullptr;
        }
        loaded_ = LoadResource(LibraryInstance, found);
        const void* data = loaded_ ? LockResource(loaded_) : nullptr;
        if (!data) release();
        return static_cast<const unsigned char*>(data);
    }
    void release() override {
        if (loaded_) FreeResource(loaded_);
        loaded_ = nullptr;
    }
    // A plain box without an owner window.
    void reportMissing() override { MessageBoxA(nullptr, "A kernel file is missed", "Error", MB_OK); }

private:
    HGLOBAL loaded_ = nullptr;
};

ResourceKernelTable resourceTable;

}  // namespace

KernelTableSource& platformKernelTable() { return resourceTable; }
