#include <cstdio>
#include <string>
#include <vector>

#include "registry/module_registry.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/module_names.h"
#include "tools/morv/commands/json_text.h"
#include "tools/morv/commands/parameter_values.h"
#include "tools/morv/commands/usage_error.h"

namespace {

// The sliders are listed as a 44.1 kHz stream has them.
constexpr int kListedRate = 44100;

struct ModuleListing {
    int index;
    const char* description;
    int parameterCount;
    ParameterInfo parameters[kMaxParameters];
    const PresetRecord* presets;
    int presetCount;
};

ModuleListing listingOf(int index) {
    const ModuleRow& row = moduleRow(index);
    ModuleListing listing{};
    listing.index = index;
    listing.description = row.description;
    listing.parameterCount = describeModuleParameters(index, kListedRate, listing.parameters);
    listing.presets = row.presets.records;
    listing.presetCount = row.presets.count;
    return listing;
}

// Text followed by spaces up to a width in characters (UTF-8 counted once).
std::string padded(const std::string& text, size_t width) {
    size_t characters = 0;
    for (unsigned char c : text) characters += (c & 0xC0) != 0x80;
    return text + std::string(characters < width ? width - characters : 0, ' ');
}

// "Ratio    -1.5 to 1, default 0    output length ×2^Ratio, ...: 0.354× to 2×":
// the range and default as stored (what --set takes bare), then what the
// value means, with the range of the quantity the knob shows.
std::string parameterLine(const ParameterInfo& p) {
    const ParamDescriptor& d = p.descriptor;
    const std::string range = storedRangeText(p) + ", default " + valueWithShown(p, d.defaultValue);
    std::string meaning = p.meaning;
    if (hasShownForm(p)) meaning += ": " + shownRangeText(p);
    return padded(d.name, 8) + " " + padded(range, 32) + " " + meaning;
}

void printText(const ModuleListing& m) {
    std::printf("%2d %s %s\n", m.index, moduleMarker(m.index), moduleNameText(m.index));
    std::printf("      %s\n", m.description);
    for (int k = 0; k < m.parameterCount; ++k) std::printf("      %s\n", parameterLine(m.parameters[k]).c_str());
    for (int p = 0; p < m.presetCount; ++p) {
        std::string values = jsonNumber(m.presets[p].values[0]) + " dB";
        for (int k = 0; k < m.parameterCount; ++k) {
            values += ", " + valueWithShown(m.parameters[k], m.presets[p].values[k + 1]);
        }
        std::printf("      preset %2d %-16s %s\n", p, (std::string("\"") + m.presets[p].name + "\"").c_str(),
                    values.c_str());
    }
}

// The quantity the knob shows at the top, bottom and default, for a
// parameter shown in another form; null otherwise.
std::string jsonShown(const ParameterInfo& p) {
    if (!hasShownForm(p)) return "null";
    const ParamDescriptor& d = p.descriptor;
    return "{\"max\": " + jsonNumber(shownValue(p, d.max)) + ", \"min\": " + jsonNumber(shownValue(p, d.min)) +
           ", \"default\": " + jsonNumber(shownValue(p, d.defaultValue)) + "}";
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
        // Values as stored; "unit" is the unit of the value, or of "shown"
        // (what the knob shows) when the parameter has a shown form.
        for (int k = 0; k < m.parameterCount; ++k) {
            const ParamDescriptor& d = m.parameters[k].descriptor;
            std::printf("%s{\"name\": %s, \"max\": %s, \"min\": %s, \"default\": %s, \"unit\": %s, \"meaning\": %s, "
                        "\"shown\": %s}",
                        k ? ", " : "", jsonString(d.name).c_str(), jsonNumber(d.max).c_str(), jsonNumber(d.min).c_str(),
                        jsonNumber(d.defaultValue).c_str(), jsonString(m.parameters[k].unit).c_str(),
                        jsonString(m.parameters[k].meaning).c_str(), jsonShown(m.parameters[k]).c_str());
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
