#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "registry/module_registry.h"
#include "tools/morv/commands/module_names.h"

namespace {

// The README's module table says what `morv list` says, marker included.
TEST(ModuleDescriptions, TheReadmeTableMatchesTheList) {
    std::ifstream readme(MORV_SOURCE_DIR "/README.md");
    ASSERT_TRUE(readme);
    const std::regex row(R"(^\| (\d+) \| (\S+) \| ([^|]+) \| ([^|]+) \| ([^|]+) \|$)");
    std::string line;
    int rows = 0;
    while (std::getline(readme, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        const int index = std::stoi(m[1]);
        ASSERT_LT(index, kSelectableModuleCount);
        EXPECT_EQ(m[2].str(), moduleMarker(index)) << index;
        EXPECT_EQ(m[3].str(), moduleNameText(index)) << index;
        EXPECT_EQ(m[4].str(), moduleRow(index).description) << index;
        const int presets = presetTableFor(index).count;
        EXPECT_EQ(m[5].str(), presets ? std::to_string(presets) : "none") << index;
        ++rows;
    }
    EXPECT_EQ(rows, kSelectableModuleCount);
}

}  // namespace
