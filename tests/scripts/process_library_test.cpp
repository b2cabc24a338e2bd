#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/morv_runner.h"
#include "tests/support/test_signals.h"

namespace {

using ProcessLibrary = MorvFileTest;

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The tree is kept, a file already done is left alone, and a file that fails
// is listed at the end with its message while the others are rendered.
TEST_F(ProcessLibrary, KeepsTheTreeSkipsWhatIsDoneAndListsFailures) {
    const auto tone = testsignals::sine(4410, 2, 44100, 440, 0.3);
    mkdir((dir + "in").c_str(), 0777);
    mkdir((dir + "in/album one").c_str(), 0777);
    write("in/album one/track 1.wav", tone, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    write("in/album one/track 2.ogg", tone, 2, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    write("in/top.flac", tone, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::ofstream(dir + "in/broken.wav") << "not audio";
    const std::string command = "MORV=" MORV_BINARY " " MORV_SOURCE_DIR "/scripts/process_library.sh -j 2 " +
                                q("in") + " " + q("out") + " -m GEQ-10 -p 'Bass Lift' 2>&1";

    std::string log;
    FILE* run = popen(command.c_str(), "r");
    char buffer[512];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, run)) > 0;) log.append(buffer, got);
    EXPECT_EQ(WEXITSTATUS(pclose(run)), 1) << log;
    EXPECT_NE(log.find("1 file(s) failed:\n  " + dir + "in/broken.wav\n    morv process: cannot read"),
              std::string::npos)
        << log;
    for (const char* made : {"out/album one/track 1.wav", "out/album one/track 2.flac", "out/top.flac"}) {
        SF_INFO info;
        read(made, &info);
        EXPECT_EQ(info.frames, 4410) << made;
    }

    std::ofstream(dir + "out/top.flac") << "done";
    std::remove((dir + "out/album one/track 1.wav").c_str());
    EXPECT_EQ(std::system(command.c_str()) >> 8, 1);
    EXPECT_EQ(contents(dir + "out/top.flac"), "done");
    SF_INFO info;
    read("out/album one/track 1.wav", &info);
    EXPECT_EQ(info.frames, 4410);
}

}  // namespace
