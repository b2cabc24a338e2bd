#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

// Runs the morv binary built beside the tests with the given arguments
// (already quoted for the shell) and captures its exit status and streams.
struct MorvRun {
    int status;
    std::string out;
    std::string err;
};

inline MorvRun runMorv(const std::string& args) {
    // One capture file per process: tests run in parallel.
    const std::string errFile = testing::TempDir() + "morv_stderr_" + std::to_string(getpid()) + ".txt";
    FILE* pipe = popen((std::string(MORV_BINARY) + " " + args + " 2>" + errFile).c_str(), "r");
    MorvRun result{};
    char buffer[4096];
    size_t got;
    while (pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = pipe ? pclose(pipe) : -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    std::remove(errFile.c_str());
    return result;
}
