#pragma once

#include <string>

// Lower case with runs of spaces folded to one, so names can be typed loosely.
std::string looseName(const std::string& text);

// The marker the player's module list shows before a module's name: "◇" (a
// white diamond) or "◆" (a black one). morv prints names without it.
const char* moduleMarker(int moduleIndex);

// The module index for what a user typed: an index ("3"), a name as morv
// prints it, with or without its marker, in any case and spacing
// ("GEQ-10 Bands 1 Oct", "◇GEQ-10 Bands 1    Oct"), or an unambiguous part of
// one, such as its short family name ("GEQ-10", "GEQ-3", "DeNoise",
// "Reverb"). Throws UsageError listing the modules when nothing or more than
// one module matches.
int resolveModule(const std::string& text);
