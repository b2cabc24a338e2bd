#pragma once

#include <string>
#include <vector>

// Subcommands of morv. Each takes the words after its name and returns the
// exit status; errors are thrown as UsageError or FileError.
int runListCommand(const std::vector<std::string>& args);
int runProcessCommand(const std::vector<std::string>& args);
int runDemoCommand(const std::vector<std::string>& args);
int runResponseCommand(const std::vector<std::string>& args);
int runManualCommand(const std::vector<std::string>& args);

// Runs a whole morv command line: dispatch, error reporting, exit status.
int runMorv(int argc, char** argv);
