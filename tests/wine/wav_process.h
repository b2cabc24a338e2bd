#pragma once

// Runs a WAV file through dsp_MORV.dll the way `morv process` runs it through
// the pipeline: the module, and with --preset a preset, picked in the control
// window's lists by a new user before the first block; blocks of --block
// frames at --bits in a buffer with room for twice the block, the first
// --skip output frames dropped, output trimmed to --frames (the input's length
// by default) and drained with silence.
//   process [--module N] [--preset INDEX] [--block FRAMES] [--bits 16|24|32] [--frames N] [--skip N]
//           IN.wav OUT.wav
// Returns the program's exit code.
int runWavProcess(int argc, char** argv);
