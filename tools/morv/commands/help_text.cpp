// The help laid out for a terminal: paragraphs wrapped to 79 columns,
// options and examples indented under their tags.

#include "tools/morv/commands/help_text.h"

#include <cstring>

#include "registry/module_registry.h"
#include "tools/morv/commands/parameter_values.h"

namespace {

constexpr size_t kTextWidth = 79;
// The ranges are told as a 44.1 kHz stream has them.
constexpr int kDescribedRate = 44100;

// Words of a paragraph laid into lines of the text width, each line after
// the first starting with indent (the first is indented by the caller).
std::string wrapped(const std::string& text, size_t firstColumn, const std::string& indent) {
    std::string out;
    size_t column = firstColumn;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        size_t length = 0;
        for (unsigned char c : word) length += (c & 0xC0) != 0x80;
        if (column > firstColumn && column + 1 + length > kTextWidth) {
            out += "\n" + indent;
            column = indent.size();
        } else if (column > firstColumn) {
            out += ' ';
            ++column;
        }
        out += word;
        column += length;
        start = end + 1;
    }
    return out + "\n";
}

std::string paragraph(const std::string& text, const std::string& indent = "") {
    return indent + wrapped(text, indent.size(), indent);
}

std::string optionTag(const OptionHelp& option) {
    return std::string(option.spelling) + (*option.argument ? std::string(" ") + option.argument : "");
}

// The parameters stored as exponents (their knob shows another quantity).
struct ShownParameter {
    int module;
    ParameterInfo info;
};

std::vector<ShownParameter> shownParameters() {
    std::vector<ShownParameter> found;
    for (int index = 0; index < kSelectableModuleCount; ++index) {
        ParameterInfo parameters[kMaxParameters];
        const int count = describeModuleParameters(index, kDescribedRate, parameters);
        for (int k = 0; k < count; ++k) {
            if (hasShownForm(parameters[k])) found.push_back({index, parameters[k]});
        }
    }
    return found;
}

// A --set written with its unit, and the stored value it stands for.
std::string unitExample(const char* parameter, const char* written) {
    for (const ShownParameter& p : shownParameters()) {
        if (std::strcmp(p.info.descriptor.name, parameter) == 0) {
            return std::string(parameter) + "=" + written + " is " + parameter + "=" +
                   roundedNumber(parameterValueFromText(p.info, written));
        }
    }
    return "";
}

}  // namespace

std::vector<std::string> valuesHelpBlocks() {
    std::vector<std::string> blocks = {
        "--set NAME=VALUE moves one slider of the module as a move in the player's window does. NAME is the "
        "slider's name as morv list prints it, in any case and spacing.",
        "A bare number is the value as the module stores it, as in the ranges and defaults of morv list, "
        "in the presets and in the JSON summary. A number with a unit written after it "
        "is the quantity in that unit, the one the window's knob shows, and is turned into the stored value. "
        "For most sliders the two are one number (LowF=200, LowF=200Hz and LowF=0.2kHz are the same); these "
        "are stored as exponents, and there they differ:",
    };
    for (const ShownParameter& p : shownParameters()) {
        blocks.push_back("|  " + std::string(p.info.descriptor.name) + " (" + moduleNameText(p.module) +
                         "): " + storedRangeText(p.info) + " as stored, " + shownRangeText(p.info) + " with its unit");
        blocks.push_back("|      " + std::string(p.info.meaning));
    }
    blocks.push_back(unitExample("Ratio", "0.5x") + " (half the length: twice the speed, an octave higher); " +
                     unitExample("Ratio", "2x") + "; " + unitExample("Tempo", "1.5x") + "; " +
                     unitExample("Pitch", "1.5x") + "; " + unitExample("Delay", "1000us") + ".");
    blocks.push_back("The units, each with the words --set takes for it (in any case); a slider takes only the "
                     "words of its own unit, and one without a unit takes bare numbers only. Either form must lie "
                     "within the slider's range.");
    std::string units = unitTable();
    size_t start = 0;
    while (start < units.size()) {
        const size_t end = units.find('\n', start);
        blocks.push_back("|  " + units.substr(start, end - start));
        start = end + 1;
    }
    return blocks;
}

std::string overviewText() {
    std::string text = paragraph("MORV Studio audio effects: the eighteen effects of the player's plug-in "
                                 "(equalisers, restoration, vocal removal, reverb, 3D placement, varispeed, tempo "
                                 "and pitch, vibrato, whisper) on audio files, through the plug-in's own sample "
                                 "pipeline.");
    text += "\nusage:\n";
    for (const CommandHelp& help : commandHelps()) text += "  " + std::string(help.synopsis) + "\n";
    text += "  morv COMMAND --help | morv --version\n\ncommands:\n";
    for (const CommandHelp& help : commandHelps()) {
        text += "  " + std::string(help.name) + std::string(10 - std::strlen(help.name), ' ') + help.summary + "\n";
    }
    text += "\n" + paragraph("\"morv help COMMAND\" lists a command's options with their defaults, and examples; "
                             "\"morv help values\" tells how --set takes parameter values (as stored, or with a "
                             "unit: Ratio=0.5x, Delay=1000us).");
    return text;
}

std::string commandHelpText(const CommandHelp& command) {
    std::string text = "usage: " + std::string(command.synopsis) + "\n";
    for (const char* p : command.description) text += "\n" + paragraph(p);
    text += "\noptions:\n";
    for (const OptionHelp& option : command.options) {
        text += "  " + optionTag(option) + "\n";
        text += paragraph(option.meaning, "      ");
        text += paragraph(std::string("default: ") + option.byDefault, "      ");
    }
    text += "\nexamples:\n";
    for (const ExampleHelp& example : command.examples) {
        text += "  " + std::string(example.command) + "\n";
        text += paragraph(example.result, "      ");
    }
    return text;
}

std::string valuesHelpText() {
    std::string text = "parameter values (--set NAME=VALUE, in morv process and morv response):\n";
    for (const std::string& block : valuesHelpBlocks()) {
        if (!block.empty() && block[0] == '|') {
            text += block.substr(1) + "\n";
        } else {
            text += "\n" + paragraph(block);
        }
    }
    return text;
}
