#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/morv/commands.h"
#include "tools/morv/usage_error.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

const Command kCommands[] = {
    {"list", runListCommand, "morv list [--json]"},
    {"process", runProcessCommand,
     "morv process IN OUT [--module INDEX|NAME] [--preset NAME|INDEX] [--set NAME=VALUE]... [--gain DB]\n"
     "             [--channels LR|L|R|PASS] [--block FRAMES] [--bits 16|24|32] [--json] [--quiet]"},
    {"demo", runDemoCommand, "morv demo [DIR]"},
    {"response", runResponseCommand,
     "morv response [--module INDEX|NAME] [--preset NAME|INDEX] [--set NAME=VALUE]... [--rate HZ] [--svg FILE] [--csv FILE]"},
};

void printUsage(FILE* to) {
    std::fprintf(to, "MORV Studio audio effects\nusage:\n");
    for (const Command& command : kCommands) std::fprintf(to, "  %s\n", command.usage);
}

}  // namespace

int runMorv(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        printUsage(stdout);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        try {
            return command.run(args);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "morv %s: %s\n", command.name, e.what());
            return 2;
        } catch (const FileError& e) {
            std::fprintf(stderr, "morv %s: %s\n", command.name, e.what());
            return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "morv %s: %s\n", command.name, e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "morv: unknown command \"%s\"\n", name.c_str());
    printUsage(stderr);
    return 2;
}
