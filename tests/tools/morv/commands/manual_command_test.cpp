#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <set>
#include <string>

#include "tests/support/morv_runner.h"
#include "host/product_pages.h"
#include "registry/module_registry.h"

namespace {

// Text as the page writes it: HTML's special characters as entities.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

TEST(ManualCommand, PageListsEveryModuleWithItsSlidersAndPresets) {
    const MorvRun run = runMorv("manual --html");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string& page = run.out;
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("</html>"), std::string::npos);
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        const size_t section = page.find("<h3 id=\"module-" + std::to_string(index) + "\">");
        ASSERT_NE(section, std::string::npos) << index;
        const size_t end = page.find("<h3", section + 1);
        const std::string text = page.substr(section, end - section);
        EXPECT_NE(text.find(escaped(moduleNameText(index))), std::string::npos) << index;
        std::unique_ptr<EffectModule> module = createModule(index, 44100, 2);
        ParamDescriptor parameters[kMaxParameters];
        const int count = module->describeParameters(parameters);
        for (int k = 0; k < count; ++k) {
            // Every slider has its row: top, bottom and default, then what it sets.
            const std::regex row("<tr><td>" + std::regex_replace(escaped(parameters[k].name), std::regex(R"([.^$|()\[\]{}*+?\\/])"), R"(\$&)") +
                                 "</td>(<td>[^<]+</td>){3}<td>[^<]+</td></tr>");
            EXPECT_TRUE(std::regex_search(text, row)) << index << " " << parameters[k].name;
        }
        const PresetRecord* presets = nullptr;
        const int presetCount = module->presets(&presets);
        for (int p = 0; presets && p < presetCount; ++p)
            EXPECT_NE(text.find("<tr><td>" + escaped(presets[p].name) + "</td>"), std::string::npos) << presets[p].name;
    }
}

TEST(ManualCommand, LinksOnlyTheProductsOwnPages) {
    const MorvRun run = runMorv("manual --html");
    ASSERT_EQ(run.status, 0);
    const std::regex address(R"(https?://[^"<\s]+)");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), address); it != std::sregex_iterator(); ++it)
        found.insert(it->str());
    EXPECT_EQ(found, (std::set<std::string>{kHomePageAddress, kOnlineManualAddress}));
    EXPECT_EQ(runMorv("manual").status, 2) << "the page is HTML only";
}

}  // namespace
