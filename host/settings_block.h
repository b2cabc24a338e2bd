#pragma once

// The 40-word settings block: word 0 the gain slider, word k + 1 the slider of
// parameter k, word 38 the preset index, word 39 the module index, stored as
// 160 bytes of little-endian 32-bit words.

constexpr int kSettingsWords = 40;
constexpr int kSettingsBytes = kSettingsWords * 4;
constexpr int kSettingsPresetWord = 38;
constexpr int kSettingsModuleWord = 39;

struct SettingsBlock {
    SettingsBlock();

    // Overwrites the first length bytes of the block (a shorter value fills
    // only the first part; a longer one gives its first 160 bytes).
    void decode(const unsigned char* bytes, int length);
    void encode(unsigned char bytes[kSettingsBytes]) const;

    int words[kSettingsWords];
    // True from a load that read stored words until they are first turned
    // into values: until then the values in force are not the user's, and
    // saving them would overwrite the stored settings (a library loaded and
    // unloaded without being activated, as a player's preferences page does).
    bool storedWordsPending = false;
};
