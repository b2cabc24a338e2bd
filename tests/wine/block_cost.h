#pragma once

// Times ModifySamples under Wine, call by call, on an audio thread of its own
// while the window thread pumps messages: 576-frame 16-bit stereo blocks
// through "Level Tuning", with a level that changes every block (the meters
// repaint) and with a steady level (they paint nothing), in runs that take
// turns. With a display the control window is open; without one there is none.
//   bench-blocks [--calls N]     N calls of each kind
// Prints the median and quartiles in microseconds; returns the exit code.
int runBlockCost(int argc, char** argv);
