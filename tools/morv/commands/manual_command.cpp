// morv manual --html: the user's manual of the plug-in as one HTML page, the
// page the control window opens for Help and F1 (MORVStudio/help.html beside
// the library). Module names, descriptions, parameters and presets are read
// from the module registry, as `morv list` and the control window read them,
// so the page shows exactly what the control window offers.

#include <cstdio>
#include <string>
#include <vector>

#include "framework/slider_scale.h"
#include "host/product_pages.h"
#include "registry/module_registry.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/module_names.h"
#include "tools/morv/commands/parameter_values.h"
#include "tools/morv/commands/usage_error.h"

namespace {

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// A description as a sentence: capital first letter, full stop.
std::string sentence(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The sliders are described as a 44.1 kHz stream has them.
constexpr int kDescribedRate = 44100;

// A module as the control window offers it: its sliders and its presets.
struct ModulePage {
    int index;
    ParameterInfo parameters[kMaxParameters];
    int parameterCount;
    const PresetRecord* presets;
    int presetCount;
};

ModulePage describe(int index) {
    ModulePage page{index, {}, 0, moduleRow(index).presets.records, moduleRow(index).presets.count};
    page.parameterCount = describeModuleParameters(index, kDescribedRate, page.parameters);
    return page;
}

void printParameters(const ModulePage& page) {
    std::printf("<table>\n<tr><th>Slider</th><th>Top</th><th>Bottom</th><th>Default</th><th>What it sets</th></tr>\n");
    for (int k = 0; k < page.parameterCount; ++k) {
        const ParameterInfo& p = page.parameters[k];
        const ParamDescriptor& d = p.descriptor;
        std::printf("<tr><td>%s</td><td>%s</td><td>%s</td><td>%s</td><td>%s</td></tr>\n", escaped(d.name).c_str(),
                    escaped(valueWithUnit(p, d.max)).c_str(), escaped(valueWithUnit(p, d.min)).c_str(),
                    escaped(valueWithUnit(p, d.defaultValue)).c_str(), escaped(p.meaning).c_str());
    }
    std::printf("</table>\n");
}

void printPresets(const ModulePage& page) {
    std::printf("<table class=\"presets\">\n<tr><th>Preset</th><th>Gain (dB)</th>");
    for (int k = 0; k < page.parameterCount; ++k) {
        const ParameterInfo& p = page.parameters[k];
        // The unit of a plain value heads its column; a shown form stands in each cell.
        const std::string unit = !hasShownForm(p) && *p.unit ? std::string(" (") + p.unit + ")" : "";
        std::printf("<th>%s</th>", escaped(p.descriptor.name + unit).c_str());
    }
    std::printf("</tr>\n");
    for (int p = 0; p < page.presetCount; ++p) {
        const PresetRecord& record = page.presets[p];
        const bool custom = p == page.presetCount - 1;
        std::printf("<tr><td>%s</td>", escaped(record.name).c_str());
        if (custom) {
            std::printf("<td colspan=\"%d\">your own slider settings</td></tr>\n", page.parameterCount + 1);
            continue;
        }
        std::printf("<td>%s</td>", number(record.values[0]).c_str());
        for (int k = 0; k < page.parameterCount; ++k)
            std::printf("<td>%s</td>", escaped(valueWithShown(page.parameters[k], record.values[k + 1])).c_str());
        std::printf("</tr>\n");
    }
    std::printf("</table>\n");
}

void printModule(int index) {
    const ModulePage page = describe(index);
    std::printf("<h3 id=\"module-%d\">%s %s</h3>\n<p>%s</p>\n", index, moduleMarker(index),
                escaped(moduleNameText(index)).c_str(), escaped(sentence(moduleRow(index).description)).c_str());
    if (page.parameterCount > 0) printParameters(page);
    if (page.presetCount > 0) printPresets(page);
}

void printHead() {
    std::printf(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>MORV Studio manual</title>\n"
        "<style>\nbody { font-family: sans-serif; max-width: 60em; margin: 2em auto; color: #223; }\n"
        "table { border-collapse: collapse; margin: 0.5em 0 1.5em; }\n"
        "th, td { border: 1px solid #99a; padding: 0.2em 0.5em; text-align: right; }\n"
        "th:first-child, td:first-child, td[colspan] { text-align: left; }\n"
        "table.presets { font-size: 85%%; }\n.note { color: #666; }\n</style>\n</head>\n<body>\n");
}

void printWindowGuide() {
    std::printf(
        "<h1>MORV Studio</h1>\n"
        "<p>Audio effects for the player: restoration, equalisers, spatial effects, time and pitch, "
        "distortion. Home page: <a href=\"%s\">%s</a>.</p>\n"
        "<h2>Installing</h2>\n<p>Copy <code>dsp_MORV.dll</code> and the folder <code>MORVStudio</code> (with this "
        "page) into the player's <code>Plugins</code> folder, then choose \"MORV Studio\" as the DSP plug-in in the "
        "player's preferences.</p>\n"
        "<h2>The window</h2>\n<ul>\n"
        "<li>The module list chooses the effect; the preset list beside it chooses one of the module's presets. "
        "The last preset, \"Custom\", brings back your own slider settings (the gain in whole decibels).</li>\n"
        "<li>\"Gain\" is the master gain, from +60 dB at the top to -60 dB at the bottom; each further slider is "
        "one parameter of the module. Every knob shows its value. Moving any slider switches the preset list to "
        "\"Custom\".</li>\n"
        "<li>The tables below give each value as the module stores it, the number the presets hold and "
        "<code>morv list</code> and <code>morv process --set</code> take. Where the knob shows another quantity "
        "(the factor of Ratio, Tempo and Pitch, the depth of Delay in microseconds), that quantity follows in "
        "brackets: Ratio \"-1 (0.5&times;)\" shows 0.5 on its knob.</li>\n"
        "<li>\"L\" and \"R\" choose the channels the effect and the gain apply to; modules that work on the "
        "stereo pair, and mono streams, show \"PASS\" instead, which bypasses the effect when on.</li>\n"
        "<li>The two bars on the left are the level meters of the left and right channel.</li>\n"
        "<li>\"Snap Noise\" (DeNoise only) starts learning the noise again.</li>\n"
        "<li>F12 on the player's window opens the window again after it was closed; a right click opens the "
        "menu with the home page and this manual; F1 opens this manual.</li>\n"
        "<li>The module, the preset, the gain and the sliders are kept from one session to the next.</li>\n"
        "</ul>\n"
        "<p>The latest manual is at <a href=\"%s\">%s</a>.</p>\n<h2>Modules</h2>\n",
        kHomePageAddress, kHomePageAddress, kOnlineManualAddress, kOnlineManualAddress);
}

}  // namespace

int runManualCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {}, {"html"});
    if (!line.positional().empty()) throw UsageError("manual takes no file names; redirect its output");
    if (!line.flag("html")) throw UsageError("the manual is written as one HTML page: give --html");
    printHead();
    printWindowGuide();
    for (int index = 0; index < kSelectableModuleCount; ++index) printModule(index);
    std::printf("</body>\n</html>\n");
    return 0;
}
