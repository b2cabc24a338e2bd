#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "registry/module_registry.h"

namespace {

TEST(PresetTables, CountsAndCustomLastEqualToFirst) {
    const int expected[18] = {0, 0, 0, 0, 6, 18, 30, 14, 17, 3, 4, 4, 7, 4, 4, 4, 0, 0};
    for (int index = 0; index < 18; ++index) {
        const PresetTable table = presetTableFor(index);
        ASSERT_EQ(table.count, expected[index]) << index;
        if (table.count == 0) {
            EXPECT_EQ(table.records, nullptr);
            continue;
        }
        const PresetRecord& custom = table.records[table.count - 1];
        EXPECT_STREQ(custom.name, "Custom") << index;
        for (int v = 0; v < kMaxParameters; ++v) EXPECT_EQ(custom.values[v], table.records[0].values[v]) << index;
    }
    EXPECT_EQ(presetTableFor(18).count, 0);
}

TEST(PresetTables, SpotValuesAreAsPublished) {
    const PresetTable geq10 = presetTableFor(5);
    EXPECT_STREQ(geq10.records[1].name, "1965");
    EXPECT_EQ(geq10.records[1].values[0], -5.0);
    EXPECT_EQ(geq10.records[1].values[2], -17.2);
    EXPECT_EQ(geq10.records[1].values[10], -5.2);
    EXPECT_EQ(geq10.records[1].values[11], 0.0) << "values beyond the band count are 0";

    const PresetTable geq15 = presetTableFor(6);
    EXPECT_STREQ(geq15.records[14].name, "Loudness");
    EXPECT_EQ(geq15.records[14].values[1], 6.768);
    EXPECT_EQ(geq15.records[14].values[15], 4.032);

    const PresetTable geq31 = presetTableFor(8);
    EXPECT_STREQ(geq31.records[11].name, "Notch2/3Oct");
    EXPECT_EQ(geq31.records[11].values[31], -18.0);
    EXPECT_STREQ(geq31.records[15].name, "ShimmerVox");
    EXPECT_EQ(geq31.records[15].values[23], 1.1);

    EXPECT_STREQ(presetTableFor(4).records[0].name, "FLAT");
    EXPECT_STREQ(presetTableFor(9).records[1].name, "WIDE Cut");
    EXPECT_EQ(presetTableFor(12).records[3].values[2], 230.625);
    EXPECT_STREQ(presetTableFor(10).records[2].name, "Vocal Boost");
    EXPECT_EQ(presetTableFor(10).records[2].values[2], 1.5);
    EXPECT_STREQ(presetTableFor(7).records[1].name, "Classic-V");
    EXPECT_EQ(presetTableFor(7).records[1].values[20], 4.02);
}

}  // namespace
