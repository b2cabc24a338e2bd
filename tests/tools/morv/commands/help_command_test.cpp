// Help: every command's help lists each option with its
// argument, default and meaning, and two examples; the manual page is made
// from the same text at build time, and make install puts morv, the page and
// (once built) the LV2 bundle under PREFIX.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/morv_runner.h"

namespace {

// The commands the overview names, from its "commands:" section.
std::vector<std::string> overviewCommands(const std::string& overview) {
    std::vector<std::string> commands;
    const size_t from = overview.find("\ncommands:\n");
    const std::string section = overview.substr(from, overview.find("\n\n", from + 1) - from);
    const std::regex line("\n  ([a-z]+) ");
    for (auto it = std::sregex_iterator(section.begin(), section.end(), line); it != std::sregex_iterator(); ++it)
        commands.push_back((*it)[1]);
    return commands;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each command of the overview: usage, and under "options:" every entry as
// "  -m, --module INDEX|NAME", a line of meaning and its default; each option
// listed is one its parser knows; two examples; the same text for
// `morv COMMAND --help`.
TEST(Help, EveryOptionWithItsArgumentDefaultAndMeaningAndTwoExamples) {
    const MorvRun overview = runMorv("help");
    ASSERT_EQ(overview.status, 0);
    const std::vector<std::string> commands = overviewCommands(overview.out);
    EXPECT_EQ(commands.size(), 6u) << overview.out;
    for (const std::string& command : commands) {
        const MorvRun r = runMorv("help " + command);
        ASSERT_EQ(r.status, 0) << command << ": " << r.err;
        EXPECT_EQ(r.out.rfind("usage: morv " + command, 0), 0u) << r.out;
        const size_t from = r.out.find("\noptions:\n");
        const size_t examples = r.out.find("\nexamples:\n");
        ASSERT_NE(from, std::string::npos) << command;
        ASSERT_NE(examples, std::string::npos) << command;
        // The entries, one after another from the section's start.
        const std::string options = r.out.substr(from + 10, examples + 1 - (from + 10));
        const std::regex entry("  (\\S[^\n]*)\n((      [^\n]*\n)+)");
        int entries = 0;
        for (auto it = std::sregex_iterator(options.begin(), options.end(), entry, std::regex_constants::match_continuous);
             it != std::sregex_iterator(); ++it, ++entries) {
            const std::string spelling = (*it)[1], body = (*it)[2];
            EXPECT_TRUE(std::regex_search(body, std::regex("^      [^ \n][^\n]+\n(      [^\n]+\n)*      default: \\S")))
                << command << " " << spelling << ":\n" << body;
            std::smatch option;
            if (command == "help" || !std::regex_match(spelling, option, std::regex("(-[a-z], )?(--[a-z-]+)( .+)?")) ||
                option[2] == "--help")
                continue;
            // Three words more: every command refuses them once the options are read, before it does anything.
            const MorvRun tried = runMorv(command + " " + option[2].str() + (option[3].matched ? " 1" : "") + " a b c");
            EXPECT_EQ(tried.err.find("unknown option"), std::string::npos) << command << " " << spelling << ": " << tried.err;
        }
        const std::regex heading("(^|\n)  \\S");
        EXPECT_EQ(entries, std::distance(std::sregex_iterator(options.begin(), options.end(), heading),
                                         std::sregex_iterator()))
            << command << ": an entry out of form\n" << options;
        EXPECT_GE(entries, 2) << command << "\n" << r.out;
        const std::string tail = r.out.substr(examples);
        const std::regex example("\n  (\\S[^\n]* )?morv " + command + "[^\n]*\n      \\S");
        EXPECT_GE(std::distance(std::sregex_iterator(tail.begin(), tail.end(), example), std::sregex_iterator()), 2)
            << command << tail;
        if (command != "help") {
            EXPECT_EQ(runMorv(command + " --help").out, r.out) << command;
        }
    }
    EXPECT_EQ(runMorv("help --man").status, 0);
    const MorvRun unknown = runMorv("help frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command \"frobnicate\""), std::string::npos);
}

// The unit forms of --set are told in one place, which --set's help points to.
TEST(Help, ParameterValuesAreToldInOnePlace) {
    const MorvRun values = runMorv("help values");
    ASSERT_EQ(values.status, 0);
    for (const char* text :
         {"  Ratio (T/P-Resampler): -1.5 to 1 as stored, 0.354\xC3\x97 to 2\xC3\x97 with its unit\n",
          "  Tempo (T/P-TempoScaler): -1.3 to 1 as stored", "  Pitch (T/P-PitchScaler): -1 to 1 as stored",
          "  Delay (Distortion-Vibrato): -5 to -1 as stored, 10 \xC2\xB5s to 100000 \xC2\xB5s with its unit\n",
          "Ratio=0.5x is Ratio=-1", "Delay=1000us is Delay=-3", "Pitch=1.5x is Pitch=0.369",
          "  \xC2\xB5s: us, \xC2\xB5s, \xCE\xBCs, ms (1000 \xC2\xB5s), s (1000000 \xC2\xB5s)\n"}) {
        EXPECT_NE(values.out.find(text), std::string::npos) << text << "\n" << values.out;
    }
    for (const char* command : {"process", "response"}) {
        EXPECT_NE(runMorv(std::string("help ") + command).out.find("see morv help values"), std::string::npos);
    }
}

TEST(Help, TheManualPageIsBuiltFromTheSameText) {
    const std::string page = fileText(MORV_MAN_PAGE);
    ASSERT_FALSE(page.empty()) << MORV_MAN_PAGE << " is made at build time";
    EXPECT_EQ(page, runMorv("help --man").out);
    EXPECT_EQ(page.rfind(".TH MORV 1 ", 0), 0u);
    for (const char* text : {".SH SYNOPSIS", ".SH COMMANDS", ".SS morv process IN OUT [OPTION]...",
                             "\\fB\\-\\-snap\\-noise\\fR \\fISECONDS\\fR\n", "Default: 576.", ".SH PARAMETER VALUES",
                             "Ratio=0.5x is Ratio=\\-1", ".SH EXIT STATUS"}) {
        EXPECT_NE(page.find(text), std::string::npos) << text;
    }
    if (std::system("command -v man >/dev/null 2>&1") != 0) GTEST_SKIP() << "man is not installed";
    const MorvRun rendered = runShell(std::string(MORV_BINARY) + " help --man | MANWIDTH=100 man --warnings -l -");
    EXPECT_EQ(rendered.err, "") << "groff warns about the page";
    EXPECT_NE(rendered.out.find("morv process IN OUT [OPTION]..."), std::string::npos) << rendered.out;
    EXPECT_NE(rendered.out.find("Default: until the tail is silent"), std::string::npos);
}

class Install : public MorvFileTest {
protected:
    // make install-files into the scratch folder, from the build the tests run in.
    MorvRun install(const std::string& more) {
        const std::string build = std::string(MORV_BINARY).substr(0, std::string(MORV_BINARY).rfind('/'));
        return runShell("make -s -C '" MORV_SOURCE_DIR "' install-files BUILD='" + build + "' PREFIX=" + q("usr") + " " +
                        more);
    }
};

TEST_F(Install, MorvItsManualPageAndTheLv2BundleWhenBuilt) {
    MorvRun r = install("LV2_BUNDLE=" + q("none.lv2"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("no LV2 bundle at"), std::string::npos) << r.out;
    EXPECT_EQ(runShell(q("usr/bin/morv") + " --version").out, runMorv("--version").out);
    EXPECT_EQ(fileText(dir + "usr/share/man/man1/morv.1"), fileText(MORV_MAN_PAGE));
    if (std::system("command -v man >/dev/null 2>&1") == 0) {
        // man finds the page beside the installed program, as /usr/local/bin's.
        r = runShell("PATH=" + q("usr/bin") + ":$PATH man -w morv");
        EXPECT_EQ(r.out, dir + "usr/share/man/man1/morv.1\n") << r.err;
    }

    // The LV2 bundle, once `make lv2` has built it.
    mkdir((dir + "built.lv2").c_str(), 0777);
    std::ofstream(dir + "built.lv2/manifest.ttl") << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n";
    r = install("LV2_BUNDLE=" + q("built.lv2"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(fileText(dir + "usr/lib/lv2/morv.lv2/manifest.ttl"), fileText(dir + "built.lv2/manifest.ttl"));
}

// `make install` builds, brings man-db, installs under /usr/local by default.
TEST(InstallTarget, DefaultsToUsrLocalAndBringsMan) {
    const MorvRun r = runShell("make -n -C '" MORV_SOURCE_DIR "' install BUILD=/nonexistent");
    EXPECT_NE(r.out.find("scripts/install_deps.sh install"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/usr/local/bin/morv"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/usr/local/share/man/man1/morv.1"), std::string::npos) << r.out;
    EXPECT_NE(fileText(MORV_SOURCE_DIR "/scripts/install_deps.sh").find("install) echo \"man-db\""), std::string::npos);
}

}  // namespace
