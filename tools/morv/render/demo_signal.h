#pragma once

#include <cstdint>
#include <vector>

// A short stereo test programme made in code: a chord of tones, a rising
// chirp, a burst of noise and a few clicks, as interleaved 32-bit samples.
std::vector<int32_t> makeDemoSignal(int sampleRate, double seconds);
