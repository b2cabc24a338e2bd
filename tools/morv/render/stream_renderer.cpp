#include "tools/morv/render/stream_renderer.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "host/engine.h"
#include "tools/morv/audio_io/sample_bytes.h"


StreamRenderer::StreamRenderer(Engine& engine, int sampleRate, int channels, int bits, int blockFrames)
    : engine_(engine),
      sampleRate_(sampleRate),
      channels_(channels),
      bits_(bits),
      blockFrames_(blockFrames),
      hostBuffer_(static_cast<size_t>(2) * blockFrames * channels * (bits / 8)),
      output_(static_cast<size_t>(2) * blockFrames * channels) {}

int StreamRenderer::run(const int32_t* input, int frames) {
    const int count = frames * channels_;
    unsigned char* host = hostBuffer_.data();
    packSamples(input, static_cast<size_t>(count), bits_ / 8, host);

    const auto start = std::chrono::steady_clock::now();
    const int produced = engine_.modifySamples(reinterpret_cast<short*>(host), frames, bits_, channels_, sampleRate_);
    processingSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const int producedCount = produced * channels_;
    unpackSamples(host, static_cast<size_t>(producedCount), bits_ / 8, output_.data());
    return produced;
}
