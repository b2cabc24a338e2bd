#include "tests/wine/block_cost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/wine/player.h"

namespace {

const int kFrames = 576;
const int kChannels = 2;
const int kWarmUpCalls = 50;

struct Quartiles {
    double low, median, high;
};

Quartiles quartiles(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return {values[n / 4], values[n / 2], values[(3 * n) / 4]};
}

// Microseconds of each call; the amplitude of block i is amplitude(i).
std::vector<double> timeCalls(winampDSPModule* module, int calls, short (*amplitude)(int)) {
    std::vector<double> micros;
    micros.reserve(calls);
    std::vector<short> block(2 * kFrames * kChannels);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    runOnAudioThread([&] {
        for (int i = -kWarmUpCalls; i < calls; ++i) {
            const short a = amplitude(i);
            for (int s = 0; s < kFrames * kChannels; ++s) block[s] = static_cast<short>((s & 1) ? a : -a);
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            module->ModifySamples(module, block.data(), kFrames, 16, kChannels, 44100);
            QueryPerformanceCounter(&end);
            if (i >= 0) micros.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
        }
    }, {}, 600000);
    return micros;
}

short changingLevel(int i) { return (i & 1) ? 16000 : 500; }
short steadyLevel(int) { return 8000; }

void report(const char* what, const std::vector<double>& micros) {
    if (micros.empty()) {
        std::printf("%-28s no calls timed\n", what);
        return;
    }
    const Quartiles q = quartiles(micros);
    std::printf("%-28s median %8.1f us   quartiles %8.1f .. %8.1f us   (%zu calls)\n", what, q.median, q.low, q.high,
                micros.size());
}

}  // namespace

int runBlockCost(int argc, char** argv) {
    int calls = 2000;
    for (int i = 0; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--calls")) calls = std::atoi(argv[i + 1]);
    }
    if (calls < 4) calls = 4;
    clearStoredSettings();
    PlayerWindow player("Winamp v1.x", 0x5092);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    if (!module) {
        std::printf("cannot load dsp_MORV.dll\n");
        return 1;
    }
    module->Init(module);
    // Let the process and Wine's own helpers settle before timing.
    pumpMessages(1000);
    std::printf("control window: %s\n", findControlDialog() ? "open" : "none (no display)");
    for (int round = 0; round < 2; ++round) {
        report("level changing every block", timeCalls(module, calls, changingLevel));
        report("steady level", timeCalls(module, calls, steadyLevel));
    }
    module->Quit(module);
    return 0;
}
