#pragma once

#include "host/plugin_state.h"

// The 40-word settings block: word 0 the gain slider, word k + 1 the slider of
// parameter k, word 38 PresetIndex, word 39 ModuleIndex, stored as 160 bytes
// of little-endian 32-bit words.

// Load rule. bytes/length is what the store returned (a shorter value fills
// only the first part of the block); with readOk false the defaults stay.
void loadSettings(const unsigned char* bytes, int length, bool readOk);

// Save rule: fills PluginSettings from the state in force and writes the block.
void saveSettings(unsigned char bytes[kSettingsBytes]);

// Restore rule, run at every build of the control window's controls: turns the
// words into values (RestoreState 0 with a preset chosen, or a module without
// presets) or the last preset record into words, then sets RestoreState to 0.
void restoreSettings();

// Slider positions that show the gain and parameter k's value in force: the
// stored word when it gives exactly that value, so that a restored setting
// shows and saves where it was left; otherwise the value's own position.
int gainSliderPosition();
int parameterSliderPosition(int k);
