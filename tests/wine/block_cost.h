#pragma once

// Times ModifySamples under Wine, call by call, on an audio thread of its own
// while the window thread pumps messages: 576-frame 16-bit stereo blocks
// through "Level Tuning", once with a level that changes every block (the
// meters repaint) and once with a steady level (they paint nothing). With a
// display the control window is open; without one there is none.
//   bench-blocks [--calls N]
// Prints the median and quartiles in microseconds, twice over in turn;
// returns the exit code.
int runBlockCost(int argc, char** argv);
