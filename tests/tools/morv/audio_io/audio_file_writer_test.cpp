#include <gtest/gtest.h>
#include <dirent.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

// An output that cannot be written whole leaves nothing behind: no output,
// no temporary file, an earlier output as it was, and one line that says why.
class FailedWrites : public MorvFileTest {
protected:
    void SetUp() override {
        MorvFileTest::SetUp();
        write("in.wav", testsignals::noise(5 * 44100, 2, 0.5, 3), 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        std::ofstream(dir + "old.wav") << "earlier";
    }

    std::set<std::string> files(const std::string& folder) const {
        std::set<std::string> names;
        if (DIR* d = opendir(folder.c_str())) {
            while (dirent* e = readdir(d)) {
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
            }
            closedir(d);
        }
        return names;
    }

    void expectNothingLeft(const std::string& folder, const std::set<std::string>& before) const {
        EXPECT_EQ(files(folder), before);
        std::ifstream old(dir + "old.wav");
        std::string text((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, "earlier");
    }

    // morv process through the shell, after the given shell commands.
    MorvRun runAfter(const std::string& shell, const std::string& args) const {
        const std::string errFile = dir + "stderr.txt";
        const std::string command = shell + "; exec " + MORV_BINARY + " " + args + " 2>'" + errFile + "'";
        const int status = std::system(command.c_str());
        MorvRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", ""};
        std::ifstream err(errFile);
        r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
        std::remove(errFile.c_str());
        return r;
    }
};

int lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST_F(FailedWrites, AFileSizeLimitEndsTheRunWithOneLine) {
    const std::set<std::string> before = files(dir);
    for (const char* out : {"new.wav", "new.flac", "old.wav"}) {
        const MorvRun r = runAfter("ulimit -f 64", "process " + q("in.wav") + " " + q(out) + " --quiet");
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(std::string("cannot write ") + dir + out + ": File too large"), std::string::npos) << r.err;
        expectNothingLeft(dir, before);
    }
}

// A full disk: a small tmpfs, which only root may mount.
TEST_F(FailedWrites, AFullDiskEndsTheRunWithOneLine) {
    const std::string disk = dir + "disk/";
    mkdir(disk.c_str(), 0777);
    if (geteuid() != 0 || mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=128k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    std::ofstream(disk + "old.wav") << "earlier";
    const std::set<std::string> before = files(disk);
    for (const char* out : {"new.wav", "new.flac", "old.wav"}) {
        const MorvRun r = runAfter("true", "process " + q("in.wav") + " '" + disk + out + "' --quiet");
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
        EXPECT_EQ(files(disk), before);
    }
    {
        std::ifstream old(disk + "old.wav");
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>()), "earlier");
    }
    EXPECT_EQ(umount(disk.c_str()), 0);
}

// What morv prints to a standard output that takes nothing: a failure with
// one line, for a page or report as for the audio itself.
TEST_F(FailedWrites, AFullStandardOutputIsAFailure) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    for (const std::string& args : {std::string("list --json"), std::string("manual --html"),
                                    "process " + q("in.wav") + " " + q("new.wav") + " --quiet --json",
                                    "process " + q("in.wav") + " - --quiet"}) {
        const MorvRun r = runMorv(args + " > /dev/full");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    }
}

// SIGINT and SIGTERM in the middle of a run (one frame a block keeps it
// going long enough): status 128 + the signal and one line.
TEST_F(FailedWrites, InterruptedRunsLeaveNoFile) {
    // The input comes through a pipe that stays open after its first bytes,
    // so the run is still waiting for audio when the signal comes, however
    // fast it renders.
    std::ifstream whole(dir + "in.wav", std::ios::binary);
    const std::string head = std::string(std::istreambuf_iterator<char>(whole), std::istreambuf_iterator<char>())
                                 .substr(0, 32768);
    ASSERT_EQ(mkfifo((dir + "feed.wav").c_str(), 0600), 0);
    const std::set<std::string> before = files(dir);
    for (int stop : {SIGINT, SIGTERM}) {
        const std::string errFile = dir + "../stderr_" + std::to_string(getpid()) + ".txt";
        const pid_t child = fork();
        if (child == 0) {
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            const std::string in = dir + "feed.wav", out = dir + "old.wav";
            execl(MORV_BINARY, "morv", "process", in.c_str(), out.c_str(), "--quiet", "--block", "1", "--module", "2",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        // The pipe opens for writing once the run has opened it for reading.
        int feed = -1;
        for (int i = 0; i < 1000 && feed < 0; ++i) {
            feed = open((dir + "feed.wav").c_str(), O_WRONLY | O_NONBLOCK);
            if (feed < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GE(feed, 0);
        ASSERT_EQ(::write(feed, head.data(), head.size()), static_cast<ssize_t>(head.size()));
        // Wait until the temporary file exists, then a little longer.
        for (int i = 0; i < 1000 && files(dir).size() == before.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(child, stop);
        int status = 0;
        waitpid(child, &status, 0);
        close(feed);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + stop);
        std::ifstream errStream(errFile);
        const std::string err((std::istreambuf_iterator<char>(errStream)), std::istreambuf_iterator<char>());
        std::remove(errFile.c_str());
        EXPECT_EQ(err, std::string("morv: stopped by ") + (stop == SIGINT ? "SIGINT" : "SIGTERM") + "; " + dir +
                           "old.wav was not written\n");
        expectNothingLeft(dir, before);
    }
}

// A named pipe (like /dev/null) given as the output is written in place: a
// temporary file renamed over it would replace the node itself.
TEST_F(FailedWrites, ANamedPipeIsWrittenInPlace) {
    ASSERT_EQ(mkfifo((dir + "out.fifo").c_str(), 0600), 0);
    const std::string command = "cd '" + dir + "' && { timeout 10 cat out.fifo > got.wav & } && " + MORV_BINARY +
                                " process in.wav out.fifo --quiet --type wav && wait";
    EXPECT_EQ(std::system(command.c_str()), 0);
    struct stat node;
    ASSERT_EQ(stat((dir + "out.fifo").c_str(), &node), 0);
    EXPECT_TRUE(S_ISFIFO(node.st_mode));
    std::ifstream got(dir + "got.wav", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(got)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.size(), 44u + 5 * 44100 * 2 * 2);
}

}  // namespace
