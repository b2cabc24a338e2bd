#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "framework/effect_module.h"
#include "framework/param_descriptor.h"
#include "framework/preset_record.h"
#include "framework/relaxed_word.h"
#include "host/display.h"
#include "host/processing_lock.h"
#include "host/sample_pipeline.h"
#include "host/settings_block.h"
#include "registry/preset_choice.h"

// RestoreState values: how the next build of the controls treats the settings.
enum RestoreMode {
    kRestoreLoaded = 0,          // settings just loaded
    kRestoreReopened = 1,        // dialog reopened from the host window: keep everything
    kRestoreModuleChanged = 2,   // the user just picked another module
};

// A slider the window does not hold; its word and value stay as they are.
constexpr int kSliderMissing = -1;

// What the control window shows, copied out of the engine in one piece: it
// paints from this without holding the processing lock, and nothing the
// audio thread writes is read in the meantime.
struct EngineSnapshot {
    bool hasModule = false;
    int moduleIndex = 0;
    int presetIndex = 0;
    PresetTable presets = kNoPresets;
    int parameterCount = 0;
    ParamDescriptor descriptors[kMaxParameters] = {};
    double values[kMaxParameters] = {};
    double displayValues[kMaxParameters] = {};
    double masterGain = 1.0;
    int channelMask = 3;
    int channelCount = 2;
    int sampleRate = 44100;
};

// One effects engine: the selected module and its parameter model, the
// master gain and channel words, the settings words, the meters and the
// sample pipeline. The audio side is modifySamples, one call per block; the
// control side is the commands the control window (or a command line, or a
// plug-in host) gives and the snapshot it reads. The processing lock is held
// around the module's process and around swapping a module or values in;
// modules are built outside it.
class Engine {
public:
    // display receives the meters, channel layouts and error boxes; null
    // follows the process's display (the control window's in the plug-in,
    // the console's elsewhere). Not owned.
    explicit Engine(Display* display = nullptr);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // ---- Audio side

    // Runs numsamples frames of interleaved integer PCM (8, 16, 24 or 32 bits;
    // the buffer has room for twice the frames) through the module, applies
    // the master gain to the selected channels, clamps back to the sample
    // width and updates the meters. Returns the frames now in the buffer.
    int modifySamples(short* samples, int numsamples, int bps, int nch, int srate);
    // A floating-point host's block (the LV2 plug-in): n interleaved samples
    // of the stream set by setStreamFormat, as doubles on the integer scale,
    // run through the module in place with outCapacity n, then every selected
    // channel multiplied by the master gain; nothing is clamped or truncated,
    // and no meter is painted. A mask of 0 leaves the block as it is. Returns
    // the samples written (a module still filling a frame writes fewer), -1
    // without a module.
    int processScaled(double* samples, int n);

    // ---- Control side

    // The stream format the next build is for, before any block has told it.
    void setStreamFormat(int sampleRate, int channels);
    // Builds the module of moduleIndex for the format in force and swaps it
    // in. With keep the values in force carry over; without it the master
    // gain returns to 1.0 and the values to their defaults. If the module
    // cannot be built the slot stays empty (blocks pass untouched).
    void buildModule(int moduleIndex, bool keep);
    // Swaps in a module built elsewhere (a test's, a host's own) with its
    // descriptors and the values in force; the module index stays. Null
    // empties the slot and the parameter model (the next block builds anew).
    void adoptModule(std::unique_ptr<EffectModule> module);
    // Module list: builds module selected with its defaults and marks the
    // controls for a rebuild (kRestoreModuleChanged). False, changing nothing,
    // for the module in use or an index the list does not offer.
    bool selectModule(int selected);
    // Gain slider at position: the master gain and settings word 0.
    void moveGainSlider(int position);
    // The parameter sliders at positions (count of them, in parameter order):
    // their settings words and values, handed to the module.
    void moveParameterSliders(const int* positions, int count);
    // Sets parameter k to value and its settings word to the value's slider
    // position, and hands the values to the module.
    void setParameterValue(int k, double value);
    // Sets the master gain to decibels and word 0 to its slider position.
    void setGainDecibels(double decibels);
    // The master gain as a factor, its word left as it is (a host's port).
    void setMasterGain(double gain) { masterGain_ = gain; }
    // Values 0..count-1 in force (count at most kMaxParameters), handed to
    // the module; the settings words stay as they are (a host's ports).
    void setParameterValues(const double* values, int count);
    // Entry sel of the module's preset list: PresetIndex, master gain and
    // values, handed to the module; sliders, when given, receives the
    // positions that show them. False, changing nothing, when the module has
    // no presets or sel is not an entry of its list.
    bool applyPreset(int sel, PresetSliderPositions* sliders);
    // Index of the preset named name (exact match) in the module's list, or -1.
    int findPreset(const char* name) const;
    // Any slider move shows "Custom" (the list's last entry) in the preset list.
    void switchToCustom();
    // Restarts the noise capture of a module that learns noise ("Snap Noise").
    void snapNoise();
    // Fixes the seed of the random draws that modules take from the clock
    // (the reverb's tail, seeded from the clock's second), for the module in
    // force and every module built after it: the command line's same output
    // every run. The player never calls it and keeps the clock.
    void fixRandomSeed(uint32_t seed);
    // Modules built from now on run work that is due only later on threads
    // of their own (EffectModule::setBackgroundWork): a real-time host's
    // blocks then stay short. The output is the same.
    void setBackgroundWork(bool on);

    // ---- Designs on a worker thread (a plug-in host's worker)

    // With a worker, modules never build a design inside the audio thread's
    // process: they keep the design in force until the worker has prepared
    // the new one, and the next block installs it. Without one (the player,
    // morv) the next block builds and installs it, as before.
    void setDesignWorker(bool on);
    // True when the module holds values its design does not yet reflect.
    bool designWanted() const;
    // Worker thread: takes the module's pending values under the lock and
    // prepares their design without it. Returns whether it prepared one; the
    // next block installs it.
    bool prepareDesign();

    // ---- Settings (the 40-word block, stored as 160 bytes)

    // Load rule. bytes/length is what the store returned (a longer value is
    // read for its first 160 bytes); with readOk false the defaults stay.
    void loadSettings(const unsigned char* bytes, int length, bool readOk);
    // Save rule: fills the words from the state in force and writes the block.
    void saveSettings(unsigned char bytes[kSettingsBytes]);
    // Restore rule, run at every build of the control window's controls:
    // turns the words into values (kRestoreLoaded with a preset chosen, or a
    // module without presets) or the last preset record into words, then
    // sets the restore state to kRestoreLoaded.
    void restoreSettings();
    // Slider positions that show the gain and parameter k's value in force:
    // the stored word when it gives exactly that value, so that a restored
    // setting shows and saves where it was left; otherwise the value's own.
    int gainSliderPosition() const;
    int parameterSliderPosition(int k) const;

    // ---- Words read and written without the lock

    void setRestoreState(int mode) { restoreState_ = mode; }
    int restoreState() const { return restoreState_; }
    void setChannelMask(int mask) { channelMask_ = mask; }
    int channelMask() const { return channelMask_; }
    double masterGain() const { return masterGain_; }
    int moduleIndex() const { return moduleIndex_; }
    // The module index's word, as the player's module record points to it.
    int* moduleIndexWord() { return &moduleIndex_; }
    int presetIndex() const { return presetIndex_; }
    void setPresetIndex(int index) { presetIndex_ = index; }
    int sampleRate() const { return sampleRate_; }
    // Bits per sample of the stream the module was built for.
    int sampleWidth() const { return sampleWidth_; }
    const SamplePipeline& pipeline() const { return pipeline_; }
    int channelCount() const { return channelCount_; }
    int hostVersion() const { return hostVersion_; }
    void setHostVersion(int version) { hostVersion_ = version; }
    // Raised by the window's timer: the next block forgets the meters' levels.
    void requestMeterReset() {
        if (!meterResetFlag_) meterResetFlag_ = 1;
    }
    bool meterResetPending() const { return meterResetFlag_ != 0; }
    int settingsWord(int w) const { return settings_.words[w]; }
    void setSettingsWord(int w, int value) { settings_.words[w] = value; }
    Display& display() const { return display_ ? *display_ : currentDisplay(); }

    // ---- Reading the state

    // Everything the control window shows, copied under the lock.
    EngineSnapshot snapshot() const;
    int parameterCount() const;
    int presetCount() const;
    // What parameter k's knob shows at slider position: the module's display
    // of the value there (0 for a parameter the module lacks).
    double shownValue(int k, int position) const;
    PresetTable presets() const;
    // Calls f with the module (null when none) under the processing lock;
    // for the tools and tests that look at a module's own state.
    template <typename F>
    auto withModule(F&& f) const {
        ProcessingLock::Guard guard(lock_);
        return f(module_.get());
    }
    // How many times the processing lock has been taken; read it on the
    // thread that took it, or once the others have stopped.
    long lockTakes() const { return lock_.takes(); }
    // Releases the module and the work buffer (the library's detach); the
    // parameter model stays for the settings to be saved from.
    void releaseModule();
    // Every word back to its value in a new engine, the module released; the
    // work buffer is kept for the next stream.
    void reset();
    // The samples the last block left in the work buffer, on the integer
    // scale before the gain and the clamp.
    const double* lastOutput() { return pipeline_.work(); }

private:
    struct Built;
    // The module of index for format (rate, channels), described; empty when
    // it could not be built.
    static Built build(int index, int rate, int channels);
    // Builds and swaps a module in; useCurrentIndex reads the index in force
    // at the swap (a rebuild for a new format).
    void rebuildFor(int index, bool useCurrentIndex, bool keep);
    // Under the lock: makes built the module in force; returns the old one.
    std::unique_ptr<EffectModule> swapIn(Built& built, bool keep);
    // Releases a module swapped out, once no design of it is being prepared.
    void retire(std::unique_ptr<EffectModule> old);
    // Runs the block once the format is followed; -1 without a module.
    int runBlock(unsigned char* samples, int n, int nch, int bps, int mask);
    int followFormat(int srate, int nch, int bps, int mask);
    void updateMeters(double peakLeft, double peakRight, double scale);
    PresetTable presetsLocked() const;
    void wordsFromLastPreset(const PresetTable& table);
    void valuesFromWords();

    Display* display_;
    mutable ProcessingLock lock_;
    // Held by the worker while it prepares a design outside the processing
    // lock, and by a module swap before the old module is released, so that
    // no module goes while its design is being prepared.
    std::mutex designMutex_;
    // Held for the whole of a module build and its swap: builds run one at a
    // time. The module index is written only under it.
    std::mutex buildMutex_;
    bool designWorker_ = false;  // guarded by the lock
    bool backgroundWork_ = false;  // guarded by buildMutex_
    // The seed fixed in place of the clock, if any; guarded by the lock.
    bool seedFixed_ = false;
    uint32_t randomSeed_ = 0;

    // Guarded by the lock.
    std::unique_ptr<EffectModule> module_;
    int parameterCount_ = 0;
    ParamDescriptor descriptors_[kMaxParameters] = {};
    double values_[kMaxParameters] = {};

    // The stream format, written by the audio thread, read by builds.
    RelaxedWord<int> sampleRate_{44100};
    RelaxedWord<int> channelCount_{2};
    int sampleWidth_ = 16;      // the audio thread's own
    RelaxedWord<int> hasModule_{0};

    // Control words shared with the audio thread.
    RelaxedWord<double> masterGain_{1.0};
    RelaxedWord<int> channelMask_{3};
    RelaxedWord<int> meterResetFlag_{0};

    // The control side's own; builds read it under buildMutex_.
    int moduleIndex_ = 0;
    int presetIndex_ = 0;
    int restoreState_ = kRestoreLoaded;
    int hostVersion_ = 0;
    SettingsBlock settings_;

    // The audio side's own.
    SamplePipeline pipeline_;
    int lastLevelLeft_ = 0;
    int lastLevelRight_ = 0;
};
