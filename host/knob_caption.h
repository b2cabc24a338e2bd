#pragma once

#include <cstddef>

// The short number a slider knob carries: one decimal up to 9, whole numbers
// up to 999, then thousands with "k" and millions with "M". Each bound belongs
// to the lower row (9 prints "9.0", 1000000 prints "1000k"). Writes at most
// size bytes with the terminator; returns the text's length.
int formatKnobCaption(double value, char* text, std::size_t size);

// The gain in decibels that the gain slider shows at a position.
double gainKnobDecibels(int position);
