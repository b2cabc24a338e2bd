#pragma once

#include <cstdint>
#include <string>

// The number of frames that the header of a WAV or AIFF file declares, read
// from the file itself: libsndfile trims a declared length that runs past the
// end of the file to what is there, which hides a file cut short. Returns -1
// for other formats, for a length left open (a WAV streamed through a pipe
// declares 0 or 0xFFFFFFFF bytes; 0 with nothing after it is an empty file)
// and for anything unreadable. An RF64 WAV
// declares its length in its "ds64" chunk.
int64_t declaredFrames(const std::string& path);

// Why a WAV that libsndfile refuses cannot be played, when its format chunk
// tells: "its header gives 0 channels" or "... a sample rate of 0 Hz";
// empty otherwise.
std::string declaredFormatProblem(const std::string& path);
