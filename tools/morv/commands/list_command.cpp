#include <cstdio>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/module_names.h"
#include "tools/morv/commands/json_text.h"
#include "tools/morv/commands/usage_error.h"

namespace {

// The sliders are listed as a 44.1 kHz stream has them.
constexpr int kListedRate = 44100;

struct ModuleListing {
    int index;
    const char* description;
    int parameterCount;
    ParamDescriptor parameters[kMaxParameters];
    const PresetRecord* presets;
    int presetCount;
};

ModuleListing listingOf(int index) {
    const ModuleRow& row = moduleRow(index);
    ModuleListing listing{};
    listing.index = index;
    listing.description = row.description;
    listing.parameterCount = describeModule(index, kListedRate, listing.parameters);
    listing.presets = row.presets.records;
    listing.presetCount = row.presets.count;
    return listing;
}

void printText(const ModuleListing& m) {
    std::printf("%2d %s %s\n", m.index, moduleMarker(m.index), moduleNameText(m.index));
    std::printf("      %s\n", m.description);
    for (int k = 0; k < m.parameterCount; ++k) {
        const ParamDescriptor& d = m.parameters[k];
        std::printf("      %-8s max %-10g min %-10g default %g\n", d.name, d.max, d.min, d.defaultValue);
    }
    for (int p = 0; p < m.presetCount; ++p) {
        std::string values;
        char number[32];
        std::snprintf(number, sizeof number, "%g dB", m.presets[p].values[0]);
        values = number;
        for (int k = 0; k < m.parameterCount; ++k) {
            std::snprintf(number, sizeof number, ", %g", m.presets[p].values[k + 1]);
            values += number;
        }
        std::printf("      preset %2d %-16s %s\n", p, (std::string("\"") + m.presets[p].name + "\"").c_str(),
                    values.c_str());
    }
}

void printJson(const std::vector<ModuleListing>& modules) {
    std::printf("[\n");
    for (size_t i = 0; i < modules.size(); ++i) {
        const ModuleListing& m = modules[i];
        // "implemented" stays for the scripts that read it: every listed module is built.
        std::printf("  {\"index\": %d, \"name\": %s, \"marker\": %s, \"implemented\": true,\n   \"description\": %s,\n"
                    "   \"parameters\": [",
                    m.index, jsonString(moduleNameText(m.index)).c_str(), jsonString(moduleMarker(m.index)).c_str(),
                    jsonString(m.description).c_str());
        for (int k = 0; k < m.parameterCount; ++k) {
            const ParamDescriptor& d = m.parameters[k];
            std::printf("%s{\"name\": %s, \"max\": %s, \"min\": %s, \"default\": %s}", k ? ", " : "",
                        jsonString(d.name).c_str(), jsonNumber(d.max).c_str(), jsonNumber(d.min).c_str(),
                        jsonNumber(d.defaultValue).c_str());
        }
        std::printf("],\n   \"presets\": [");
        for (int p = 0; p < m.presetCount; ++p) {
            std::printf("%s{\"name\": %s, \"gain\": %s, \"values\": [", p ? ", " : "",
                        jsonString(m.presets[p].name).c_str(), jsonNumber(m.presets[p].values[0]).c_str());
            for (int k = 0; k < m.parameterCount; ++k) {
                std::printf("%s%s", k ? ", " : "", jsonNumber(m.presets[p].values[k + 1]).c_str());
            }
            std::printf("]}");
        }
        std::printf("]}%s\n", i + 1 < modules.size() ? "," : "");
    }
    std::printf("]\n");
}

}  // namespace

int runListCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {}, {"json"});
    if (!line.positional().empty()) throw UsageError("list takes no file names");
    std::vector<ModuleListing> modules;
    for (int index = 0; index < kSelectableModuleCount; ++index) modules.push_back(listingOf(index));
    if (line.flag("json")) {
        printJson(modules);
    } else {
        for (const ModuleListing& m : modules) printText(m);
    }
    return 0;
}
