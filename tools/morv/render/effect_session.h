#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/engine.h"

// The seed that stands in for the clock's second where a module seeds its
// random draws from the clock (the reverb's tail): the C library
// generator's own start.
constexpr uint32_t kDefaultRandomSeed = 1;

// What the user chose on the command line: the module, its preset, single
// parameter values, the master gain, the processed channels and the seed.
struct EffectChoice {
    int moduleIndex = 0;
    std::string preset;                                    // name or list position; empty for none
    std::vector<std::pair<std::string, std::string>> settings;  // NAME=VALUE pairs, in order
    bool hasGain = false;
    double gainDecibels = 0.0;
    std::string channels = "LR";                           // LR, L, R or PASS
    uint32_t seed = kDefaultRandomSeed;                    // --seed
};

// An engine set up for a stream exactly as the player's control window
// would: builds the module, applies the preset through the same preset
// functions, then each NAME=VALUE as a slider move, then the gain (also a
// slider move: either shows "Custom" in the preset list) and the channel
// selection. The seed in place of the clock is fixed before the module is
// built, so every run of the same choice gives the same output. The
// constructor throws UsageError for an unknown preset or
// parameter, a value out of range or a channel choice the stream lacks.
class EffectSession {
public:
    EffectSession(const EffectChoice& choice, int sampleRate, int channels);

    Engine& engine() { return engine_; }
    const Engine& engine() const { return engine_; }
    // Name of the preset in force, or "" when the module has none.
    std::string presetName() const;
    // The master gain in force, in decibels.
    double gainDecibels() const { return gainDecibels_; }
    // The values of the module's parameters in force, by name.
    std::vector<std::pair<std::string, double>> parameters() const;

private:
    int resolvePreset(const std::string& text) const;
    int resolveParameter(const std::string& name) const;
    void setParameter(int k, double value);

    Engine engine_;
    double gainDecibels_ = 0.0;
};

// Adds the --module, --preset, --set, --gain, --channels and --seed options
// of a parsed command line to choice.
class CommandLine;
void readEffectChoice(const CommandLine& line, EffectChoice* choice);
