#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Runs the morv binary built beside the tests with the given arguments
// (already quoted for the shell, redirections allowed) and captures its exit
// status and streams.
struct MorvRun {
    int status;
    std::string out;
    std::string err;
};

// Runs a shell command line whose last command's standard error is
// captured, with the standard output and the exit status.
inline MorvRun runCapturing(const std::string& command) {
    // One capture file per process: tests run in parallel.
    const std::string errFile = testing::TempDir() + "morv_stderr_" + std::to_string(getpid()) + ".txt";
    FILE* pipe = popen((command + " 2>" + errFile).c_str(), "r");
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

inline MorvRun runMorv(const std::string& args) { return runCapturing(std::string(MORV_BINARY) + " " + args); }

// A whole shell command line, every standard error captured.
inline MorvRun runShell(const std::string& command) { return runCapturing("{ " + command + "; }"); }

// A private folder per test with audio files written and read through
// libsndfile; samples are interleaved doubles with full scale 1.0.
class MorvFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing::TempDir() + "morv_files_" + std::to_string(getpid()) + "/";
        mkdir(dir.c_str(), 0777);
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    // Quoted path of a file in the folder.
    std::string q(const std::string& name) const { return "'" + dir + name + "'"; }

    std::string write(const std::string& name, const std::vector<double>& samples, int channels, int format,
                      int rate = 44100) {
        const std::string path = dir + name;
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr) << path << ": " << sf_strerror(nullptr);
        if (!f) return path;
        sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        sf_writef_double(f, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
        sf_close(f);
        return path;
    }

    std::vector<double> read(const std::string& name, SF_INFO* info = nullptr) const {
        SF_INFO local{};
        SF_INFO* i = info ? info : &local;
        *i = SF_INFO{};
        SNDFILE* f = sf_open((dir + name).c_str(), SFM_READ, i);
        EXPECT_NE(f, nullptr) << name << ": " << sf_strerror(nullptr);
        if (!f) return {};
        std::vector<double> samples;
        std::vector<double> block(4096 * static_cast<size_t>(i->channels));
        sf_count_t got;
        while ((got = sf_readf_double(f, block.data(), 4096)) > 0) {
            samples.insert(samples.end(), block.begin(), block.begin() + got * i->channels);
        }
        sf_close(f);
        return samples;
    }

    std::string dir;
};
