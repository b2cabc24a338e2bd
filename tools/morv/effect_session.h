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
// preset functions, then each NAME=VALUE as a slider move, then the gain (also
// a slider move: either shows "Custom" in the preset list) and the channel
// selection. Throws UsageError for an unknown preset or
// parameter, a value out of range or a channel choice the stream lacks.
void startEffectSession(const EffectChoice& choice, int sampleRate, int channels);

// Name of the preset in force, or "" when the module has none.
std::string currentPresetName();

// The master gain in force, in decibels.
double gainInForceDecibels();

// The values of the module's parameters in force, by name.
std::vector<std::pair<std::string, double>> parametersInForce();

// Adds the --module, --preset, --set, --gain and --channels options of a
// parsed command line to choice.
class CommandLine;
void readEffectChoice(const CommandLine& line, EffectChoice* choice);
