// Writes the bundle's Turtle files from the module registry, at build time:
//   morv_lv2_ttl OUTPUT_DIR BINARY_NAME
// manifest.ttl (the plug-ins and presets and where they are described),
// morv.ttl (every plug-in with its ports) and presets.ttl (the presets).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "effects/eq/eq_band_table.h"
#include "lv2/plugin_catalog.h"
#include "registry/module_registry.h"

namespace {

const char kPrefixes[] =
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work:  <http://lv2plug.in/ns/ext/worker#> .\n\n";

const char kGenerated[] = "# Generated from the module registry by morv_lv2_ttl; do not edit.\n\n";

// The LV2 class of a module's kind.
const char* pluginClass(int moduleIndex) {
    switch (moduleRow(moduleIndex).kind) {
        case ModuleKind::kAmplifier: return "lv2:AmplifierPlugin";
        case ModuleKind::kFilter: return "lv2:FilterPlugin";
        case ModuleKind::kSpectral: return "lv2:SpectralPlugin";
        case ModuleKind::kEqualiser: return "lv2:MultiEQPlugin";
        case ModuleKind::kSpatial: return "lv2:SpatialPlugin";
        case ModuleKind::kReverb: return "lv2:ReverbPlugin";
        case ModuleKind::kPitch: return "lv2:PitchPlugin";
        case ModuleKind::kModulator: return "lv2:ModulatorPlugin";
        case ModuleKind::kTimeAndPitch: break;
    }
    return "lv2:UtilityPlugin";
}

// The units extension's unit of a registry unit; null when the port holds a
// value in another unit than it is shown in, or in none.
const char* unitFor(const ParameterInfo& p) {
    if (p.shown) return nullptr;
    const std::string unit = p.unit ? p.unit : "";
    if (unit == "dB") return "units:db";
    if (unit == "Hz") return "units:hz";
    if (unit == "s") return "units:s";
    if (unit == "degrees") return "units:degree";
    return nullptr;
}

// The shortest decimal that reads back as the same double, with a point.
std::string number(double value) {
    char text[64];
    for (int decimals = 1; decimals <= 17; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (std::strtod(text, nullptr) == value) return text;
    }
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Display text with its runs of spaces made one.
std::string tidy(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' && !out.empty() && out.back() == ' ') continue;
        out += *p;
    }
    return out;
}

std::string pluginName(const PluginVariant& v) {
    return "MORV " + tidy(moduleNameText(v.moduleIndex)) + (v.channels == 1 ? " (mono)" : "");
}

std::string presetUri(const PluginVariant& v, const std::string& slug) { return v.uri + "#preset_" + slug; }

// Preset slugs, unique within the table; the last record ("Custom", the
// player's own slider memory) is no LV2 preset.
std::vector<std::string> presetSlugs(const PresetTable& table) {
    std::vector<std::string> slugs;
    for (int i = 0; i + 1 < table.count; ++i) {
        std::string base = symbolFromText(table.records[i].name);
        std::string slug = base;
        for (int n = 2;; ++n) {
            bool clash = false;
            for (const std::string& s : slugs) clash = clash || s == slug;
            if (!clash) break;
            slug = base + "_" + std::to_string(n);
        }
        slugs.push_back(slug);
    }
    return slugs;
}

void writeAudioPorts(const PluginVariant& v, std::vector<std::string>& ports) {
    static const char* const kSides[] = {"_l", "_r"};
    static const char* const kSideNames[] = {"Left ", "Right "};
    for (int direction = 0; direction < 2; ++direction) {
        const int first = direction == 0 ? v.ports.audioIn : v.ports.audioOut;
        for (int c = 0; c < v.channels; ++c) {
            std::ostringstream p;
            p << "[\n        a lv2:" << (direction == 0 ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n"
              << "        lv2:index " << first + c << " ;\n"
              << "        lv2:symbol \"" << (direction == 0 ? "in" : "out") << (v.channels == 2 ? kSides[c] : "")
              << "\" ;\n"
              << "        lv2:name \"" << (v.channels == 2 ? kSideNames[c] : "")
              << (direction == 0 ? (v.channels == 2 ? "in" : "In") : (v.channels == 2 ? "out" : "Out")) << "\"\n"
              << "    ]";
            ports.push_back(p.str());
        }
    }
}

std::string gainPort(const PluginVariant& v) {
    std::ostringstream p;
    p << "[\n        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << v.ports.gain << " ;\n"
      << "        lv2:symbol \"gain\" ;\n        lv2:name \"Gain\" ;\n"
      << "        rdfs:comment \"master gain on the processed channels, after the module\" ;\n"
      << "        lv2:default 0.0 ;\n        lv2:minimum " << number(kGainPortMinDb) << " ;\n"
      << "        lv2:maximum " << number(kGainPortMaxDb) << " ;\n        units:unit units:db\n    ]";
    return p.str();
}

std::string channelsPort(const PluginVariant& v) {
    const bool pairOnly = moduleRow(v.moduleIndex).has(kWorksOnThePair);
    struct Point {
        const char* label;
        int value;
    };
    std::vector<Point> points{{"PASS (bypass)", kChannelsPass}};
    int top = kChannelsBoth;
    if (v.channels == 1) {
        points.push_back({"processed", kChannelsLeft});
        top = kChannelsLeft;
    } else {
        if (!pairOnly) {
            points.push_back({"left only", kChannelsLeft});
            points.push_back({"right only", kChannelsRight});
        }
        points.push_back({"both", kChannelsBoth});
    }
    std::ostringstream p;
    p << "[\n        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << v.ports.channels << " ;\n"
      << "        lv2:symbol \"channels\" ;\n        lv2:name \"Channels\" ;\n"
      << "        rdfs:comment \"the channels the module and the gain work on; PASS leaves the audio as it came\" ;\n"
      << "        lv2:portProperty lv2:integer , lv2:enumeration ;\n"
      << "        lv2:default " << top << " ;\n        lv2:minimum 0 ;\n        lv2:maximum " << top << " ;\n"
      << "        lv2:scalePoint ";
    for (size_t i = 0; i < points.size(); ++i) {
        p << (i ? " , " : "") << "[ rdfs:label \"" << points[i].label << "\" ; rdf:value " << points[i].value << " ]";
    }
    p << "\n    ]";
    return p.str();
}

std::string parameterPort(const PluginVariant& v, int k, const ParameterInfo& info) {
    const ParamDescriptor& d = info.descriptor;
    const double low = d.min < d.max ? d.min : d.max;
    const double high = d.min < d.max ? d.max : d.min;
    std::string comment = info.meaning ? info.meaning : "";
    if (const EqBandTable* bands = eqBandTableFor(v.moduleIndex)) {
        comment += ", " + number(bands->centreFrequencies[k]) + " Hz";
    }
    if (info.shown && info.unit && *info.unit) {
        comment += std::string(" (the value the module works with; the player's knob shows it converted, in ") +
                   info.unit + ")";
    }
    std::ostringstream p;
    p << "[\n        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << v.ports.firstParameter + k << " ;\n"
      << "        lv2:symbol \"" << v.parameterSymbols[k] << "\" ;\n"
      << "        lv2:name " << quoted(d.name) << " ;\n"
      << "        rdfs:comment " << quoted(comment) << " ;\n"
      << "        lv2:default " << number(d.defaultValue) << " ;\n"
      << "        lv2:minimum " << number(low) << " ;\n"
      << "        lv2:maximum " << number(high);
    if (const char* unit = unitFor(info)) {
        p << " ;\n        units:unit " << unit;
        if (std::string(unit) == "units:hz" && low > 0.0) p << " ;\n        lv2:portProperty pprops:logarithmic";
    }
    p << "\n    ]";
    return p.str();
}

std::string snapPort(const PluginVariant& v) {
    std::ostringstream p;
    p << "[\n        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << v.ports.snapNoise << " ;\n"
      << "        lv2:symbol \"snap_noise\" ;\n        lv2:name \"Snap Noise\" ;\n"
      << "        rdfs:comment \"switched on, the module forgets its noise profile and learns it anew\" ;\n"
      << "        lv2:portProperty lv2:toggled , pprops:trigger ;\n"
      << "        lv2:default 0 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n    ]";
    return p.str();
}

std::string latencyPort(const PluginVariant& v) {
    std::ostringstream p;
    p << "[\n        a lv2:OutputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << v.ports.latency << " ;\n"
      << "        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
      << "        rdfs:comment \"frames by which the output follows the input\" ;\n"
      << "        lv2:designation lv2:latency ;\n"
      << "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
      << "        units:unit units:frame\n    ]";
    return p.str();
}

void writePlugin(std::ostream& out, const PluginVariant& v) {
    const ModuleRow& row = moduleRow(v.moduleIndex);
    ParameterInfo parameters[kMaxParameters];
    const int count = catalogParameters(v.moduleIndex, parameters);

    std::vector<std::string> ports;
    writeAudioPorts(v, ports);
    ports.push_back(gainPort(v));
    ports.push_back(channelsPort(v));
    for (int k = 0; k < count; ++k) ports.push_back(parameterPort(v, k, parameters[k]));
    if (v.ports.snapNoise >= 0) ports.push_back(snapPort(v));
    ports.push_back(latencyPort(v));

    out << "<" << v.uri << ">\n"
        << "    a lv2:Plugin , " << pluginClass(v.moduleIndex) << " ;\n"
        << "    doap:name " << quoted(pluginName(v)) << " ;\n"
        << "    rdfs:comment " << quoted(row.description) << " ;\n"
        << "    doap:maintainer [ foaf:name \"MORV Studio\" ; foaf:homepage <https://morv.studio/> ] ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , work:schedule , urid:map ;\n"
        << "    lv2:extensionData work:interface , state:interface ;\n"
        << "    lv2:port ";
    for (size_t i = 0; i < ports.size(); ++i) out << (i ? " , " : "") << ports[i];
    out << " .\n\n";
}

void writePresets(std::ostream& out, const PluginVariant& v) {
    const PresetTable table = presetTableFor(v.moduleIndex);
    const std::vector<std::string> slugs = presetSlugs(table);
    for (size_t i = 0; i < slugs.size(); ++i) {
        const PresetRecord& record = table.records[i];
        out << "<" << presetUri(v, slugs[i]) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << v.uri << "> ;\n"
            << "    rdfs:label " << quoted(record.name) << " ;\n"
            << "    lv2:port [ lv2:symbol \"gain\" ; pset:value " << number(record.values[0]) << " ]";
        for (int k = 0; k < v.ports.parameterCount; ++k) {
            out << " ,\n        [ lv2:symbol \"" << v.parameterSymbols[k] << "\" ; pset:value "
                << number(record.values[k + 1]) << " ]";
        }
        out << " .\n\n";
    }
}

void writeManifest(std::ostream& out, const std::string& binary) {
    for (const PluginVariant& v : pluginCatalog()) {
        out << "<" << v.uri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary << "> ;\n"
            << "    rdfs:seeAlso <morv.ttl> .\n\n";
        const std::vector<std::string> slugs = presetSlugs(presetTableFor(v.moduleIndex));
        for (const std::string& slug : slugs) {
            out << "<" << presetUri(v, slug) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << v.uri << "> ;\n"
                << "    rdfs:seeAlso <presets.ttl> .\n\n";
        }
    }
}

bool writeFile(const std::string& path, void (*body)(std::ostream&, const std::string&), const std::string& arg) {
    std::ofstream out(path);
    out << kGenerated << kPrefixes;
    body(out, arg);
    out.close();
    if (!out) std::cerr << "morv_lv2_ttl: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: morv_lv2_ttl OUTPUT_DIR BINARY_NAME\n";
        return 2;
    }
    const std::string dir = argv[1];
    const std::string binary = argv[2];
    bool ok = writeFile(dir + "/manifest.ttl", writeManifest, binary);
    ok = writeFile(dir + "/morv.ttl",
                   [](std::ostream& out, const std::string&) {
                       for (const PluginVariant& v : pluginCatalog()) writePlugin(out, v);
                   },
                   binary) && ok;
    ok = writeFile(dir + "/presets.ttl",
                   [](std::ostream& out, const std::string&) {
                       for (const PluginVariant& v : pluginCatalog()) writePresets(out, v);
                   },
                   binary) && ok;
    return ok ? 0 : 1;
}
