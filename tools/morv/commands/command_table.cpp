#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/help_text.h"
#include "tools/morv/commands/usage_error.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"list", runListCommand},         {"process", runProcessCommand}, {"demo", runDemoCommand},
    {"response", runResponseCommand}, {"manual", runManualCommand},
};

void printUsage(FILE* to) { std::fputs(overviewText().c_str(), to); }

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

// Every command has its help record (a test runs each).
void printCommandHelp(const std::string& name) {
    const CommandHelp* help = findCommandHelp(name);
    std::fputs(help ? commandHelpText(*help).c_str() : overviewText().c_str(), stdout);
}

// --help or -h among the options (not after "--").
bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

int unknownCommand(const std::string& name) {
    std::fprintf(stderr, "morv: unknown command \"%s\"\n", name.c_str());
    printUsage(stderr);
    return 2;
}

}  // namespace

namespace {

// morv help [COMMAND|values] [--man]
int runHelpCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {}, {"man"});
    if (line.positional().size() > 1) throw UsageError("help takes at most one command");
    if (line.flag("man")) {
        if (!line.positional().empty()) throw UsageError("--man prints the whole manual page; give no command");
        std::fputs(manPage().c_str(), stdout);
        return 0;
    }
    if (line.positional().empty()) {
        printUsage(stdout);
        return 0;
    }
    const std::string& topic = line.positional()[0];
    if (topic == "values") {
        std::fputs(valuesHelpText().c_str(), stdout);
        return 0;
    }
    if (!findCommandHelp(topic)) return unknownCommand(topic);
    printCommandHelp(topic);
    return 0;
}

int runCommand(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (name == "--version" || name == "version") {
        std::printf("%s (libsndfile %s)\n", kMorvVersion, sf_version_string());
        return 0;
    }
    if (name == "help" || name == "--help" || name == "-h") {
        if (asksForHelp(args)) {
            printCommandHelp("help");
            return 0;
        }
        try {
            return runHelpCommand(args);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "morv help: %s\n", e.what());
            return 2;
        }
    }
    const Command* command = findCommand(name);
    if (!command) return unknownCommand(name);
    if (asksForHelp(args)) {
        printCommandHelp(name);
        return 0;
    }
    try {
        return command->run(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "morv %s: %s\n", command->name, e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morv %s: %s\n", command->name, e.what());
        return 1;
    }
}

}  // namespace

// What a command printed must have reached standard output whole: a page or
// a report cut short by a full disk is a failure, not a success.
int runMorv(int argc, char** argv) {
    const int status = runCommand(argc, argv);
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const std::string reason = errno ? std::strerror(errno) : "write error";
    std::fprintf(stderr, "morv%s%s: cannot write to standard output: %s\n", argc > 1 ? " " : "", argc > 1 ? argv[1] : "",
                 reason.c_str());
    return status == 0 ? 1 : status;
}
