#include "lv2/plugin_catalog.h"

#include <algorithm>
#include <cctype>

#include "registry/module_registry.h"

const char kMorvLv2Base[] = "https://morv.studio/lv2/";

namespace {

// The fixed port symbols: a parameter symbol never takes one of these.
const char* const kFixedSymbols[] = {"in", "in_l", "in_r", "out", "out_l", "out_r",
                                     "gain", "channels", "snap_noise", "latency"};

bool taken(const std::vector<std::string>& used, const std::string& symbol) {
    return std::find(used.begin(), used.end(), symbol) != used.end();
}

PluginPorts layoutPorts(int channels, int parameterCount, bool learnsNoise) {
    PluginPorts p;
    int next = 0;
    p.audioIn = next;
    next += channels;
    p.audioOut = next;
    next += channels;
    p.gain = next++;
    p.channels = next++;
    p.firstParameter = next;
    p.parameterCount = parameterCount;
    next += parameterCount;
    p.snapNoise = learnsNoise ? next++ : -1;
    p.latency = next++;
    p.count = next;
    return p;
}

PluginVariant makeVariant(int moduleIndex, int channels) {
    PluginVariant v;
    v.moduleIndex = moduleIndex;
    v.channels = channels;
    v.symbol = symbolFromText(moduleNameText(moduleIndex)) + (channels == 1 ? "_mono" : "");
    v.uri = std::string(kMorvLv2Base) + v.symbol;

    ParameterInfo parameters[kMaxParameters];
    const int count = catalogParameters(moduleIndex, parameters);
    std::vector<std::string> used(std::begin(kFixedSymbols), std::end(kFixedSymbols));
    for (int k = 0; k < count; ++k) {
        const std::string base = symbolFromText(parameters[k].descriptor.name);
        std::string symbol = base;
        for (int n = 2; taken(used, symbol); ++n) symbol = base + "_" + std::to_string(n);
        used.push_back(symbol);
        v.parameterSymbols.push_back(symbol);
    }
    v.ports = layoutPorts(channels, count, moduleRow(moduleIndex).has(kLearnsNoise));
    return v;
}

std::vector<PluginVariant> buildCatalog() {
    std::vector<PluginVariant> catalog;
    for (int index = 0; index <= kLastSelectableModule; ++index) {
        const ModuleRow& row = moduleRow(index);
        if (!row.build || row.has(kChangesLength)) continue;
        catalog.push_back(makeVariant(index, 2));
        if (!row.has(kWorksOnThePair)) catalog.push_back(makeVariant(index, 1));
    }
    return catalog;
}

}  // namespace

std::string symbolFromText(const char* text) {
    std::string symbol;
    bool gap = false;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80 && std::isalnum(c)) {
            if (gap && !symbol.empty()) symbol += '_';
            symbol += static_cast<char>(std::tolower(c));
            gap = false;
        } else {
            gap = true;
        }
    }
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0]))) symbol = "p_" + symbol;
    return symbol;
}

int catalogParameters(int moduleIndex, ParameterInfo* out) {
    return describeModuleParameters(moduleIndex, kTtlSampleRate, out);
}

const std::vector<PluginVariant>& pluginCatalog() {
    static const std::vector<PluginVariant> catalog = buildCatalog();
    return catalog;
}
