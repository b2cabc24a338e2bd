#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "framework/effect_module.h"

namespace bench {

// Times module over host-sized blocks of interleaved source, taken in turn
// and from the start again when it runs out, as the player hands them over:
// the output capacity the pipeline would give, the whole mask. warmUpFrames
// are processed untimed first (queues take their size, latency settles). The
// "realtime" counter is seconds of audio processed per second.
inline void runBlocks(benchmark::State& state, EffectModule& module, const std::vector<double>& source, int channels,
                      int blockFrames, double rate, int warmUpFrames = 0) {
    const int n = blockFrames * channels;
    const int blocks = static_cast<int>(source.size() / n);
    std::vector<double> block(2 * static_cast<size_t>(n));
    int next = 0;
    auto processNext = [&] {
        const double* from = source.data() + static_cast<size_t>(next) * n;
        std::copy(from, from + n, block.begin());
        const int capacity = std::min(n + module.extraOutput(), 2 * n);
        module.process(block.data(), block.data(), n, capacity, 3);
        benchmark::DoNotOptimize(block.data());
        next = (next + 1) % blocks;
    };
    for (int done = 0; done < warmUpFrames; done += blockFrames) processNext();
    for (auto _ : state) processNext();
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * blockFrames / rate, benchmark::Counter::kIsRate);
}

}  // namespace bench
