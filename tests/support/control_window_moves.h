#pragma once

// The control window's commands as the fuzz targets and the thread stress
// test make them: each step is the portable part of one command, in the
// window's own order; the window's painting and layout are left out.

#include "host/control_commands.h"
#include "host/module_factory.h"
#include "host/plugin_state.h"
#include "host/preset_selection.h"
#include "host/settings_block.h"
#include "registry/module_registry.h"

namespace controlwindow {

// After a module change the window lays its controls out anew: the stored
// settings are restored for the new module and the channel buttons reset.
inline void layOutControls() {
    restoreSettings();
    ChannelMask = ChannelCount == 1 ? 1 : 3;
}

// An entry of the module list (the window offers 0..17 and ignores the
// module in use).
inline void pickModule(int index) {
    if (selectModule(index)) layOutControls();
}

// Any module index straight through the factory under the lock, as the
// window and the audio thread build them; index 18 must pass the audio
// through.
inline void buildModule(int index, bool keep) {
    {
        ProcessingLock::Guard guard(ModuleLock);
        ModuleIndex = index;
        ModuleFactory(SampleRate, ChannelCount, keep);
        RestoreState = kRestoreModuleChanged;
    }
    layOutControls();
}

// Every slider move switches the preset list to "Custom".
inline void switchToCustom() {
    const int count = currentPresetCount();
    if (count > 0) PresetIndex = count - 1;
}

inline void moveGain(int position) {
    moveGainSlider(position);
    switchToCustom();
}

inline void moveParameters(const int* positions, int count) {
    moveParameterSliders(positions, count);
    switchToCustom();
}

inline void choosePresetEntry(int entry) {
    PresetSliderPositions sliders;
    applyPreset(entry, &sliders);
}

inline void pressSnapNoise() {
    if (moduleRow(ModuleIndex).has(kLearnsNoise)) snapNoise();
}

inline void setChannelButtons(bool left, bool right) { ChannelMask = (left ? 1 : 0) + (right ? 2 : 0); }

inline void setPass(bool on) { ChannelMask = on ? 0 : 1; }

// The once-a-second timer: raises the meter reset flag unless it is still up.
inline void timerTick() {
    if (!MeterResetFlag) MeterResetFlag = 1;
}

// F12 on the player's window reopens the dialog: nothing is recomputed.
inline void reopen() {
    RestoreState = kRestoreReopened;
    restoreSettings();
}

}  // namespace controlwindow
