#pragma once

#include <string>
#include <utility>
#include <vector>

// What the user chose on the command line: the module, its preset, single
// parameter values, the master gain and the processed channels.
struct EffectChoice {
    int moduleIndex = 0;
    std::string preset;                                    // name or list position; empty for none
    std::vector<std::pair<std::string, std::string>> settings;  // NAME=VALUE pairs, in order
    bool hasGain = false;
    double gainDecibels = 0.0;
    std::string channels = "LR";                           // LR, L, R or PASS
};

// Sets up the plug-in state for a stream exactly as the player's control
// window would: builds the module, applies the preset through the same
// preset functions, then each NAME=VALUE as a slider move, then the gain and
// the channel selection. Throws UsageError for an unknown preset or
// parameter, a value out of range or a channel choice the stream lacks.
void startEffectSession(const EffectChoice& choice, int sampleRate, int channels);

// The module index for "3", "GEQ-31 Bands 1/3 Oct", "geq-31 bands 1/3 oct"...
// Throws UsageError listing the valid names.
int resolveModule(const std::string& text);

// The module's name as shown to a user: the two-byte marker as a diamond.
std::string displayModuleName(int moduleIndex);

// Name of the preset in force, or "" when the module has none.
std::string currentPresetName();

// Adds the --module, --preset, --set, --gain and --channels options of a
// parsed command line to choice.
class CommandLine;
void readEffectChoice(const CommandLine& line, EffectChoice* choice);
