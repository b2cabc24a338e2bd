#pragma once

#include <memory>

#include "framework/effect_module.h"
#include "framework/param_descriptor.h"
#include "framework/relaxed_word.h"
#include "framework/slider_scale.h"
#include "host/processing_lock.h"

// The plug-in's global state, shared by the pipeline, the factory, the
// settings and the control window.

constexpr int kSettingsWords = 40;
constexpr int kSettingsBytes = kSettingsWords * 4;
constexpr int kSettingsPresetWord = 38;
constexpr int kSettingsModuleWord = 39;

// RestoreState values: how the next build of the controls treats the settings.
enum RestoreMode {
    kRestoreLoaded = 0,          // settings just loaded
    kRestoreReopened = 1,        // dialog reopened from the host window: keep everything
    kRestoreModuleChanged = 2,   // the user just picked another module
};

// The words that the audio thread and the control window share without the
// processing lock are relaxed atomics: SampleRate and ChannelCount (the audio
// thread follows the stream, a module change builds for them), MasterGain
// and ChannelMask (set by the window, read by every block) and the meter
// reset flag (raised by the window's timer, lowered by the next block).
extern RelaxedWord<int> SampleRate;
extern RelaxedWord<int> ChannelCount;
// Bits per sample of the stream the module was built for: a change of width
// alone rebuilds the module like a change of rate, since queued samples and
// learned levels are on the old width's scale.
extern int SampleWidth;
extern int ModuleIndex;
extern std::unique_ptr<EffectModule> CurrentModule;
extern RelaxedWord<double> MasterGain;
// The pipeline's work buffer, allocated with malloc so that a failed
// allocation is an empty pointer rather than an exception.
struct WorkBufferRelease {
    void operator()(double* p) const;
};
extern std::unique_ptr<double[], WorkBufferRelease> WorkBuffer;
extern int WorkBufferCapacity;
extern RelaxedWord<int> ChannelMask;
extern RelaxedWord<int> MeterResetFlag;
extern int ParameterCount;
extern double ParameterValues[kMaxParameters];
extern ParamDescriptor ParameterDescriptors[kMaxParameters];
extern int PluginSettings[kSettingsWords];
extern int PresetIndex;
extern int RestoreState;
extern int HostVersion;
extern int LastLevelLeft;
extern int LastLevelRight;
extern ProcessingLock ModuleLock;

// Sets every variable to its value at library attach (the module and the work
// buffer are released).
void resetPluginState();
