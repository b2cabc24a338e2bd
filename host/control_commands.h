#pragma once

// What the control window's commands do to the plug-in state, apart from the
// windows that show it. Each runs on the user-interface thread while the
// audio thread may be inside ModifySamples: whatever the audio thread reads
// under the processing lock (the module, ParameterValues) changes only under
// it, and the gain and channel words are relaxed atomics.

// A slider the window does not hold; its word and value stay as they are.
constexpr int kSliderMissing = -1;

// Module list: builds module selected with its defaults (keep = false) and
// marks the controls for a rebuild (RestoreState 2). False, changing nothing,
// for the module in use or an index the list does not offer.
bool selectModule(int selected);

// Gain slider at position: the master gain and settings word 0.
void moveGainSlider(int position);

// The parameter sliders at positions (count of them, in parameter order):
// their settings words and values, handed to the module.
void moveParameterSliders(const int* positions, int count);

// Preset count of the current module, 0 without one.
int currentPresetCount();

// Parameter count of the current module (a rebuild on the audio thread may
// change it).
int currentParameterCount();
