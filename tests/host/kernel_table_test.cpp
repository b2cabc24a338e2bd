// The kernel table this build embeds: the generator's output, unchanged.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/spatial/head_kernel_grid.h"
#include "framework/packed_spectrum.h"
#include "framework/real_fft.h"
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
    EXPECT_EQ(checksum(table, headgrid::kTableBytes), 0x7317e0dc053de235ull);
    source.release();
}

// One stored step is 2^-15 whatever the table holds: 16384 above the
// position's offset reads as one half.
TEST(KernelTableTest, AStoredStepIsTwoToTheMinusFifteen) {
    EXPECT_EQ(headgrid::kernelSample(16384 + headgrid::kernelOffset(7), 7), 0.5);
}

// Diffuse-field equalised at unit level: the power average of the 2,500
// kernels, read as the module reads them, is 0 dB within 1 dB from 100 Hz to
// 12 kHz (a raw set, or one stored at another scale, is off by several dB).
TEST(KernelTableTest, TheKernelsPowerAverageIsFlatAtUnitLevel) {
    const unsigned char* table = platformKernelTable().acquire();
    ASSERT_NE(table, nullptr);
    const int n = 8192, taps = headgrid::kKernelTaps, kernels = headgrid::kTableValues / taps;
    RealFft fft(n);
    std::vector<double> average(n / 2, 0.0), x(n);
    for (int i = 0; i < headgrid::kTableValues; ++i) {
        x[i % taps] = headgrid::kernelSample(static_cast<int16_t>(table[2 * i] | table[2 * i + 1] << 8), i % taps + 1);
        if (i % taps < taps - 1) continue;
        fft.forward(x.data());
        for (int k = 1; k < n / 2; ++k) average[k] += complexBin(x.data(), k).power() / kernels;
        std::fill(x.begin(), x.end(), 0.0);
    }
    platformKernelTable().release();
    for (int k = 100 * n / 44100 + 1; k <= 12000 * n / 44100; ++k)
        ASSERT_NEAR(10.0 * std::log10(average[k]), 0.0, 1.0) << k * 44100.0 / n << " Hz";
}

}  // namespace
