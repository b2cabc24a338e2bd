// The kernel table this build embeds: the generator's output, unchanged.

#include <gtest/gtest.h>

#include <cstdint>

#include "effects/spatial/head_kernel_grid.h"
#include "registry/kernel_table_source.h"

namespace {

// FNV-1a, 64 bits.
uint64_t checksum(const unsigned char* bytes, int count) {
    uint64_t hash = 14695981039346656037ull;
    for (int i = 0; i < count; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

TEST(KernelTableTest, TheEmbeddedTableIsTheGeneratedOne) {
    KernelTableSource& source = platformKernelTable();
    const unsigned char* table = source.acquire();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(checksum(table, headgrid::kTableBytes), 0x190de89209a60141ull);
    source.release();
}

}  // namespace
