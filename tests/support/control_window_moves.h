#pragma once

// The control window's commands as the fuzz targets and the thread stress
// test make them: each step is the portable part of one command, in the
// window's own order; the window's painting and layout are left out.

#include "host/engine.h"
#include "registry/module_registry.h"

namespace controlwindow {

// After a module change the window lays its controls out anew: the stored
// settings are restored for the new module and the channel buttons reset.
inline void layOutControls(Engine& engine) {
    engine.restoreSettings();
    engine.setChannelMask(engine.channelCount() == 1 ? 1 : 3);
}

// An entry of the module list (the window offers 0..17 and ignores the
// module in use).
inline void pickModule(Engine& engine, int index) {
    if (engine.selectModule(index)) layOutControls(engine);
}

// Any module index straight through the factory, as the window and the
// audio thread build them; index 18 must pass the audio through.
inline void buildModule(Engine& engine, int index, bool keep) {
    engine.buildModule(index, keep);
    engine.setRestoreState(kRestoreModuleChanged);
    layOutControls(engine);
}

inline void moveGain(Engine& engine, int position) {
    engine.moveGainSlider(position);
    engine.switchToCustom();
}

inline void moveParameters(Engine& engine, const int* positions, int count) {
    engine.moveParameterSliders(positions, count);
    engine.switchToCustom();
}

inline void choosePresetEntry(Engine& engine, int entry) {
    PresetSliderPositions sliders;
    engine.applyPreset(entry, &sliders);
}

inline void pressSnapNoise(Engine& engine) {
    if (moduleRow(engine.moduleIndex()).has(kLearnsNoise)) engine.snapNoise();
}

inline void setChannelButtons(Engine& engine, bool left, bool right) {
    engine.setChannelMask((left ? 1 : 0) + (right ? 2 : 0));
}

inline void setPass(Engine& engine, bool on) { engine.setChannelMask(on ? 0 : 1); }

// The once-a-second timer: raises the meter reset flag unless it is still up.
inline void timerTick(Engine& engine) { engine.requestMeterReset(); }

// F12 on the player's window reopens the dialog: nothing is recomputed.
inline void reopen(Engine& engine) {
    engine.setRestoreState(kRestoreReopened);
    engine.restoreSettings();
}

}  // namespace controlwindow
