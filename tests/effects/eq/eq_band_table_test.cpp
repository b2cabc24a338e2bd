#include "effects/eq/eq_band_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "registry/module_registry.h"

namespace {

struct Family {
    int moduleIndex;
    int bands;
    double bandwidth;
    int presets;
    double firstCentre, lastCentre;
    const char* firstLabel;
    const char* lastLabel;
};

const Family kFamilies[] = {
    {4, 3, 2.661, 6, 200, 8000, "<200", ">8k"},
    {5, 10, 1.0, 18, 31, 16000, "<31", ">16k"},
    {6, 15, 2.0 / 3.0, 30, 25, 16000, "<25", ">16k"},
    {7, 20, 0.5, 14, 31, 20000, "<31", ">20k"},
    {8, 31, 1.0 / 3.0, 17, 20, 20000, "<20", ">20k"},
};

TEST(EqBandTableTest, FiveFamiliesWithTheirLayouts) {
    for (const Family& f : kFamilies) {
        const EqBandTable* table = eqBandTableFor(f.moduleIndex);
        ASSERT_NE(table, nullptr) << f.moduleIndex;
        EXPECT_EQ(table->bandCount, f.bands);
        EXPECT_EQ(table->bandwidth, f.bandwidth);
        EXPECT_EQ(table->centreFrequencies[0], f.firstCentre);
        EXPECT_EQ(table->centreFrequencies[f.bands - 1], f.lastCentre);
        EXPECT_STREQ(table->bandLabels[0], f.firstLabel);
        EXPECT_STREQ(table->bandLabels[f.bands - 1], f.lastLabel);
        for (int b = 0; b < f.bands; ++b) {
            EXPECT_LE(std::strlen(table->bandLabels[b]), 5u) << table->bandLabels[b];
            if (b > 0) {
                EXPECT_GT(table->centreFrequencies[b], table->centreFrequencies[b - 1]);
            }
            if (b > 0 && b < f.bands - 1) {
                EXPECT_NE(table->bandLabels[b][0], '<');
                EXPECT_NE(table->bandLabels[b][0], '>');
            }
        }
    }
}

TEST(EqBandTableTest, InnerCentresAndLabels) {
    const EqBandTable& t3 = *eqBandTableFor(4);
    EXPECT_EQ(t3.centreFrequencies[1], 1265.0);
    EXPECT_STREQ(t3.bandLabels[1], "1265");
    const EqBandTable& t15 = *eqBandTableFor(6);
    EXPECT_EQ(t15.centreFrequencies[9], 1600.0);
    EXPECT_STREQ(t15.bandLabels[9], "1.6");
    EXPECT_STREQ(t15.bandLabels[12], "6.3");
    const EqBandTable& t20 = *eqBandTableFor(7);
    EXPECT_EQ(t20.centreFrequencies[17], 11300.0);
    EXPECT_STREQ(t20.bandLabels[17], "11.3k");
    EXPECT_STREQ(t20.bandLabels[18], "16k");
    const EqBandTable& t31 = *eqBandTableFor(8);
    EXPECT_EQ(t31.centreFrequencies[2], 31.5);
    EXPECT_EQ(t31.centreFrequencies[22], 3150.0);
    EXPECT_STREQ(t31.bandLabels[22], "3.1");
    EXPECT_STREQ(t31.bandLabels[18], "1250");
    EXPECT_STREQ(t31.bandLabels[28], "12.5");
}

TEST(EqBandTableTest, PresetsComeFromTheSharedTables) {
    for (const Family& f : kFamilies) {
        const PresetTable table = presetTableFor(f.moduleIndex);
        EXPECT_EQ(table.count, f.presets) << f.moduleIndex;
        ASSERT_GT(table.count, 0);
        EXPECT_STREQ(table.records[0].name, "FLAT");
        EXPECT_STREQ(table.records[table.count - 1].name, "Custom");
    }
}

TEST(EqBandTableTest, OtherModulesHaveNoBandTable) {
    for (int index : {-1, 0, 3, 9, 16, 18}) EXPECT_EQ(eqBandTableFor(index), nullptr) << index;
}

}  // namespace
