#pragma once

#include <memory>

#include "framework/effect_module.h"
#include "framework/parameter_info.h"
#include "framework/preset_record.h"

struct EqBandTable;

// Module indices that code refers to by meaning.
enum ModuleId : int {
    kModuleLevelTuning = 0,
    kModuleDeClick = 1,
    kModuleDeHiss = 2,
    kModuleDeNoise = 3,
    kModuleFirstEqualizer = 4,
    kModuleLastEqualizer = 8,
    kModuleDeVocalMono = 9,
    kModuleDeVocalStereo = 10,
    kModuleModalReverb = 11,
    kModuleVirtual3D = 12,
    kModuleResampler = 13,
    kModuleTempoScaler = 14,
    kModulePitchScaler = 15,
    kModuleVibrato = 16,
    kModuleWhisper = 17,
    kModuleAsImpact = 18,  // listed by name, never offered
};

constexpr int kModuleNameCount = 19;
constexpr int kSelectableModuleCount = 18;
constexpr int kLastSelectableModule = kSelectableModuleCount - 1;

// Builds a module for a stream.
using ModuleBuilder = std::unique_ptr<EffectModule> (*)(int rate, int channels);

// What a module does beyond processing the channels the mask selects.
enum ModuleFlag : unsigned {
    // Works on the stereo pair whatever the mask (the window offers only PASS).
    kWorksOnThePair = 1u << 0,
    // Output length follows a factor rather than the input's.
    kChangesLength = 1u << 1,
    // Keeps sounding long after its input ends (a reverberation), not just
    // for the smear of a frame or a short kernel.
    kHasTail = 1u << 2,
    // Learns a noise profile and can restart learning ("Snap Noise").
    kLearnsNoise = 1u << 3,
    // Renders or removes on the left/right pair alone: on a stream of more
    // channels the others come back dry, delayed by the module's latency, in
    // line with the pair.
    kTakesOnlyThePair = 1u << 4,
    // Renders two ears from one source: a file of one channel comes out with
    // two in the command line (a player keeps its stream's layout).
    kRendersTwoEars = 1u << 5,
};

// Control window width in pixels, for hosts with the OUT button (version
// above 0x3000) and without.
struct WindowWidths {
    int withOutButton;
    int withoutOutButton;
};

// One row of the registry: everything known about a module index without
// building the module.
// What a module does, in the families plug-in hosts sort effects into.
enum class ModuleKind {
    kAmplifier,     // level only
    kFilter,        // repairs in the time domain
    kSpectral,      // works on the spectrum of frames
    kEqualiser,
    kSpatial,       // places or removes sources in the stereo image
    kReverb,
    kPitch,
    kTimeAndPitch,  // changes the rate or the tempo
    kModulator,
};

struct ModuleRow {
    const char* name;             // display name, starting with its two-byte marker
    const char* description;      // what the module does, in one line
    ModuleBuilder build;          // null only for the name that is never offered
    ParameterSource parameters;   // null: no parameters
    PresetTable presets;          // the one table; its last record is "Custom"
    unsigned flags;               // ModuleFlag bits
    WindowWidths width;
    ModuleKind kind;

    bool has(ModuleFlag flag) const { return (flags & flag) != 0; }
};

// The row of a module index; any index outside 0..18 gives the row of
// "Level Tuning" (the pass-through module).
const ModuleRow& moduleRow(int index);

// The module of an index built on its own, with its constructor's values.
std::unique_ptr<EffectModule> createModule(int moduleIndex, int rate, int channels);

// The parameter descriptors the module of an index has at a sample rate,
// without building it; returns their number. describeModuleParameters gives
// them with units, meaning and display form.
int describeModule(int moduleIndex, int sampleRate, ParamDescriptor* out);
int describeModuleParameters(int moduleIndex, int sampleRate, ParameterInfo* out);


// The preset table of a module index; kNoPresets for modules without presets.
PresetTable presetTableFor(int moduleIndex);

// The band table of equaliser module moduleIndex (4..8), or nullptr.
const EqBandTable* eqBandTableFor(int moduleIndex);

// The name without its two-byte marker, and which marker it carries.
const char* moduleNameText(int index);
bool moduleNameBlackMarker(int index);
