#pragma once

#include <cstdint>
#include <vector>

// A short stereo test programme made in code, as interleaved 32-bit samples:
// steady noise alone for kBareNoiseSeconds (what a noise reduction learns
// from), then in thirds of the length a chord of tones, a rising chirp, and a
// tone under the same noise with a click every quarter second.
constexpr double kBareNoiseSeconds = 0.25;
std::vector<int32_t> makeDemoSignal(int sampleRate, double seconds);
