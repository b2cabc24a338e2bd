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

// Microseconds of each call, in runs of kRun calls that take turns: a level
// that changes every block, then a steady one, so that whatever else the
// machine does falls on both alike. The first call of a run is not kept.
const int kRun = 100;

struct Timings {
    std::vector<double> changing;
    std::vector<double> steady;
};

Timings timeCalls(winampDSPModule* module, int calls) {
    Timings timings;
    std::vector<short> block(2 * kFrames * kChannels);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    runOnAudioThread([&] {
        for (int i = -kWarmUpCalls; i < 2 * calls; ++i) {
            const int inRun = (i + 2 * kRun) % kRun;
            const bool changing = ((i + 2 * kRun) / kRun) % 2 == 0;
            const short a = changing ? ((i & 1) ? 16000 : 500) : 8000;
            for (int s = 0; s < kFrames * kChannels; ++s) block[s] = static_cast<short>((s & 1) ? a : -a);
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            module->ModifySamples(module, block.data(), kFrames, 16, kChannels, 44100);
            QueryPerformanceCounter(&end);
            if (i < 0 || inRun == 0) continue;
            const double micros = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
            (changing ? timings.changing : timings.steady).push_back(micros);
        }
    }, {}, 600000);
    return timings;
}

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
    const Timings timings = timeCalls(module, calls);
    report("level changing every block", timings.changing);
    report("steady level", timings.steady);
    module->Quit(module);
    return 0;
}
