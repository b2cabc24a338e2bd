// The help as a manual page (roff, section 1): `morv help --man`, which the
// build writes to build/morv.1 and make install installs.

#include <cstring>
#include <string>
#include <vector>

#include "tools/morv/commands/help_text.h"

namespace {

// Text for a roff line: backslashes and hyphens escaped, the few non-ASCII
// characters of the help as glyph names.
std::string roff(const std::string& text) {
    static const struct {
        const char* utf8;
        const char* glyph;
    } kGlyphs[] = {{"\xC3\x97", "\\(mu"}, {"\xC2\xB5", "\\(mc"}, {"\xCE\xBC", "\\(*m"}, {"\xC2\xB0", "\\(de"}};
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        bool glyph = false;
        for (const auto& g : kGlyphs) {
            if (text.compare(i, std::strlen(g.utf8), g.utf8) == 0) {
                out += g.glyph;
                i += std::strlen(g.utf8) - 1;
                glyph = true;
                break;
            }
        }
        if (glyph) continue;
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    // A line starting with a period or an apostrophe would be a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

std::string roffOptionTag(const OptionHelp& option) {
    std::string tag = "\\fB" + roff(option.spelling) + "\\fR";
    if (*option.argument) tag += " \\fI" + roff(option.argument) + "\\fR";
    return tag;
}

std::string roffBlocks(const std::vector<std::string>& blocks) {
    std::string out;
    for (const std::string& block : blocks) {
        if (!block.empty() && block[0] == '|') {
            out += ".nf\n" + roff(block.substr(1)) + "\n.fi\n";
        } else {
            out += ".PP\n" + roff(block) + "\n";
        }
    }
    return out;
}

}  // namespace

std::string manPage() {
    std::string page = ".TH MORV 1 \"\" \"" + roff(kMorvVersion) + "\" \"User Commands\"\n";
    page += ".SH NAME\nmorv \\- the MORV Studio audio effects on files\n";
    page += ".SH SYNOPSIS\n.nf\n";
    for (const CommandHelp& help : commandHelps()) page += "\\fB" + roff(help.synopsis) + "\\fR\n";
    page += "\\fBmorv\\fR \\fICOMMAND\\fR \\fB\\-\\-help\\fR\n\\fBmorv \\-\\-version\\fR\n.fi\n";
    page += ".SH DESCRIPTION\n.PP\n" +
            roff("morv runs the eighteen effects of the MORV Studio player plug-in (equalisers, restoration, vocal "
                 "removal, reverb, 3D placement, varispeed, tempo and pitch, vibrato, whisper) on audio files, "
                 "through the plug-in's own sample pipeline. Each command is described below with its options, "
                 "their defaults, and examples.") +
            "\n";
    page += ".SH COMMANDS\n";
    for (const CommandHelp& help : commandHelps()) {
        page += ".SS " + roff(help.synopsis) + "\n";
        for (const char* p : help.description) page += ".PP\n" + roff(p) + "\n";
        page += ".PP\nOptions:\n";
        for (const OptionHelp& option : help.options) {
            page += ".TP\n" + roffOptionTag(option) + "\n" + roff(option.meaning) + ".\n.br\nDefault: " +
                    roff(option.byDefault) + ".\n";
        }
        page += ".PP\nExamples:\n";
        for (const ExampleHelp& example : help.examples) {
            page += ".TP\n\\fB" + roff(example.command) + "\\fR\n" + roff(example.result) + ".\n";
        }
    }
    page += ".SH PARAMETER VALUES\n" + roffBlocks(valuesHelpBlocks());
    page += ".SH EXIT STATUS\n.PP\n0 done; 1 a file could not be read or written; 2 a wrong command line "
            "(reported in one line on standard error).\n";
    page += ".SH SEE ALSO\n.PP\n\\fBmorv list\\fR for every module, parameter and preset; \\fBmorv manual "
            "\\-\\-html\\fR for the plug-in's manual page; \\fBsox\\fR(1).\n";
    return page;
}
