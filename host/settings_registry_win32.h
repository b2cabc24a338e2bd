#pragma once

// The settings block's home in the registry: HKEY_CURRENT_USER
// "Software\MORV Studio", binary value "MORVSETTING" of 160 bytes.

// Reads the value and applies the load rule; a missing or unreadable value
// leaves the defaults, silently.
void loadSettingsFromRegistry();
// Fills the block from the state in force and writes it; a failed write is
// ignored.
void saveSettingsToRegistry();
