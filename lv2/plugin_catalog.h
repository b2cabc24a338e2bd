#pragma once

#include <string>
#include <vector>

#include "framework/parameter_info.h"

// The plug-ins of the bundle, derived from the module registry: one per
// module whose output is as long as its input (every row without
// kChangesLength), in stereo, and a mono twin where the module works channel
// by channel (no kWorksOnThePair). The TTL generator and the plug-in binary
// read the same catalogue, so a port index or URI never differs between the
// description a host reads and the code it runs.

// Everything but the parameters is a fixed port; their order in every plug-in:
//   audio inputs (1 or 2), audio outputs (1 or 2), "gain" (master gain, dB),
//   "channels" (which channels the module processes, an enumeration),
//   one port per module parameter in the registry's slider order,
//   "snap_noise" (restart the noise capture; modules that learn noise only),
//   "latency" (output: the plug-in's delay in frames).
struct PluginPorts {
    int audioIn;       // first audio input
    int audioOut;      // first audio output
    int gain;
    int channels;
    int firstParameter;
    int parameterCount;
    int snapNoise;     // -1 when the module learns no noise
    int latency;
    int count;         // ports in all
};

struct PluginVariant {
    int moduleIndex;
    int channels;      // 1 or 2
    std::string uri;
    std::string symbol;            // the module's symbol, "_mono" appended for the twin
    PluginPorts ports;
    std::vector<std::string> parameterSymbols;
};

// The plug-in URIs start with this.
extern const char kMorvLv2Base[];
// Sample rate at which the TTL states parameter ranges that depend on the
// rate (the stereo DeVocal's upper band edge): the lowest common rate, so
// that the stated range holds at every rate from there up.
constexpr int kTtlSampleRate = 44100;
// Master gain port range, the slider's: -60..+60 dB.
constexpr double kGainPortMinDb = -60.0;
constexpr double kGainPortMaxDb = 60.0;
// "channels" port values: the player's ChannelMask words.
constexpr int kChannelsPass = 0;
constexpr int kChannelsLeft = 1;
constexpr int kChannelsRight = 2;
constexpr int kChannelsBoth = 3;

// The bundle's plug-ins in a fixed order (descriptor index order).
const std::vector<PluginVariant>& pluginCatalog();

// A symbol (LV2: [_a-zA-Z][_a-zA-Z0-9]*) from display text: letters and
// digits lower-cased, every other run of characters one underscore, "p_"
// in front of a symbol that would start with a digit.
std::string symbolFromText(const char* text);

// The module's parameters at kTtlSampleRate, as the registry describes them.
int catalogParameters(int moduleIndex, ParameterInfo* out);
