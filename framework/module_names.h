#pragma once

// Display names of the selectable modules, index = ModuleIndex. Each name
// starts with a two-byte marker: A1 F3 (white diamond) or A1 F4 (black diamond).
constexpr int kModuleNameCount = 19;
constexpr int kSelectableModuleCount = 18;  // index 18 is listed but never offered

extern const char* const ModuleNames[kModuleNameCount];

// The name without its two-byte marker.
const char* moduleNameText(int index);
// True when the name carries the black-diamond marker (A1 F4).
bool moduleNameBlackMarker(int index);
