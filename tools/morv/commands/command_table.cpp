#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/morv/commands/commands.h"
#include "tools/morv/commands/usage_error.h"

namespace {

const char kVersion[] = "morv (MORV Studio) 1.0";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

const Command kCommands[] = {
    {"list", runListCommand, "morv list [--json]"},
    {"process", runProcessCommand,
     "morv process IN OUT [-m|--module INDEX|NAME] [-p|--preset NAME|INDEX] [-s|--set NAME=VALUE]...\n"
     "             [-g|--gain DB] [--channels LR|L|R|PASS] [--block FRAMES] [--bits 16|24|32]\n"
     "             [--type wav|flac] [--snap-noise SECONDS]... [--tail SECONDS] [--seed N] [--json] [-q|--quiet]\n"
     "    IN or OUT \"-\": standard input or output. The output's width follows the input's\n"
     "    unless --bits is given; --snap-noise (module 3) restarts the noise capture there."},
    {"demo", runDemoCommand, "morv demo [DIR]"},
    {"response", runResponseCommand,
     "morv response [-m|--module INDEX|NAME] [-p|--preset NAME|INDEX] [-s|--set NAME=VALUE]... [--rate HZ]\n"
     "              [--svg FILE] [--csv FILE]"},
    {"manual", runManualCommand, "morv manual --html   (the plug-in's manual page, to standard output)"},
};

void printUsage(FILE* to) {
    std::fprintf(to, "MORV Studio audio effects\nusage:\n");
    for (const Command& command : kCommands) std::fprintf(to, "  %s\n", command.usage);
    std::fprintf(to, "  morv help [COMMAND] | morv COMMAND --help | morv --version\n");
}

const Command* findCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
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

int runCommand(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (name == "--version" || name == "version") {
        std::printf("%s (libsndfile %s)\n", kVersion, sf_version_string());
        return 0;
    }
    if (name == "help" || name == "--help" || name == "-h") {
        if (args.empty()) {
            printUsage(stdout);
            return 0;
        }
        const Command* command = findCommand(args[0]);
        if (!command) return unknownCommand(args[0]);
        std::printf("usage: %s\n", command->usage);
        return 0;
    }
    const Command* command = findCommand(name);
    if (!command) return unknownCommand(name);
    if (asksForHelp(args)) {
        std::printf("usage: %s\n", command->usage);
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
