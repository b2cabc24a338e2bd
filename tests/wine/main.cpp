// The test host: plays the player's part for dsp_MORV.dll under Wine.
//   morv_wine_host list            names of the test cases
//   morv_wine_host run NAME        runs one case; exit code 0 when it passed
//   morv_wine_host process ...     runs a WAV file through the library (see wav_process.h)
//   morv_wine_host bench-blocks    times ModifySamples call by call (see block_cost.h)

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/wine/block_cost.h"
#include "tests/wine/player.h"
#include "tests/wine/wav_process.h"
#include "tests/wine/wine_check.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "list") == 0) {
        listWineCases();
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0) {
        // Every case starts as a new user of the plug-in: the cases share one
        // Wine prefix, and a module left in the stored settings by one case
        // would be loaded by the next.
        clearStoredSettings();
        int failures = runWineCase(argv[2]);
        if (failures < 0) {
            std::printf("unknown case %s\n", argv[2]);
            return 2;
        }
        return failures == 0 ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "process") == 0) return runWavProcess(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "bench-blocks") == 0) return runBlockCost(argc - 2, argv + 2);
    std::printf("usage: morv_wine_host list | run NAME | process ARGS | bench-blocks [--calls N]\n");
    return 2;
}
