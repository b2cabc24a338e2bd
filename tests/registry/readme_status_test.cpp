// The README's status table is read by people deciding what to use: it must
// say "built" exactly for the modules the registry has a builder for.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "registry/module_registry.h"

namespace {

TEST(ReadmeStatus, SaysBuiltExactlyForTheModulesTheRegistryBuilds) {
    std::ifstream readme(MORV_SOURCE_DIR "/README.md");
    ASSERT_TRUE(readme) << "README.md not found";
    const std::regex row(R"(^\| (\d+) \| ([^|]+) \| ([^|]+) \|$)");
    std::string line;
    int rows = 0;
    while (std::getline(readme, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        const int index = std::stoi(m[1]);
        ASSERT_LT(index, kSelectableModuleCount);
        EXPECT_EQ(m[2].str(), std::string(moduleNameText(index))) << index;
        EXPECT_EQ(m[3].str().rfind("built", 0) == 0, moduleRow(index).build != nullptr) << index << ": " << m[3];
        ++rows;
    }
    EXPECT_EQ(rows, kSelectableModuleCount);
}

}  // namespace
