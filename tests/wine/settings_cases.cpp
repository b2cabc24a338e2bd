// The settings value in the registry: read when the library is loaded,
// written when it is unloaded.

#include <cmath>
#include <vector>

#include "tests/wine/player.h"
#include "tests/wine/wine_check.h"

namespace {

const int kWords = 40;

// Loads the library, runs the player's whole session on it and unloads it.
void runSession(bool activate) {
    PlayerWindow player("Winamp v1.x", 0x5666);
    PluginLibrary library;
    winampDSPModule* module = library.module(player.handle());
    if (activate) {
        module->Init(module);
        short block[2 * 1152] = {};
        processOnAudioThread(module, block, 1152, 16, 2, 44100);
        module->Quit(module);
    }
    library.unload();
}

std::vector<int> wordsOf(const std::vector<unsigned char>& value) {
    std::vector<int> words;
    for (int i = 0; i < kWords; ++i) words.push_back(storedWord(value, i));
    return words;
}

}  // namespace

WINE_CASE(fresh_user_saves_the_defaults) {
    clearStoredSettings();
    runSession(true);
    DWORD type = 0;
    std::vector<unsigned char> value = readStoredSettings(&type);
    CHECK_EQ(value.size(), 160);
    CHECK_EQ(type, REG_BINARY);
    std::vector<int> words = wordsOf(value);
    CHECK_EQ(words[0], 3000);  // gain 1.0
    for (int i = 1; i < kWords; ++i) CHECK_EQ(words[i], 0);
}

WINE_CASE(unloading_after_quit_saves_the_state) {
    std::vector<int> stored(kWords, 0);
    stored[0] = 2698;
    stored[37] = 4321;  // beyond any module's parameters
    stored[38] = 2;
    stored[39] = 5;
    storeSettingsWords(stored);
    runSession(true);
    std::vector<unsigned char> value = readStoredSettings();
    CHECK_EQ(value.size(), 160);
    std::vector<int> words = wordsOf(value);
    CHECK_EQ(words[39], 5);
    CHECK_EQ(words[38], 2);
    // Activation turns the stored gain position into the gain, which saves
    // back as the same position.
    CHECK_EQ(words[0], 2698);
    CHECK_EQ(words[37], 4321);
}

WINE_CASE(loading_without_activation_keeps_the_words) {
    std::vector<int> stored(kWords);
    for (int i = 0; i < kWords; ++i) stored[i] = 100 + i;
    stored[39] = 17;
    stored[38] = 1;
    storeSettingsWords(stored);
    runSession(false);
    std::vector<int> words = wordsOf(readStoredSettings());
    CHECK_EQ(words[39], 17);
    CHECK_EQ(words[38], 1);
    // Never activated: the stored words were not applied, and stay as stored.
    for (int i = 0; i < 38; ++i) CHECK_EQ(words[i], 100 + i);
}

WINE_CASE(module_index_out_of_range_loads_module_zero) {
    for (int badIndex : {18, -1, 1000}) {
        std::vector<int> stored(kWords, 0);
        stored[39] = badIndex;
        stored[38] = 4;
        stored[12] = 777;
        storeSettingsWords(stored);
        runSession(true);
        std::vector<int> words = wordsOf(readStoredSettings());
        CHECK_EQ(words[39], 0);
        CHECK_EQ(words[38], 0);
        CHECK_EQ(words[12], 777);  // the other words stay as read
    }
}

WINE_CASE(short_value_fills_only_its_words) {
    clearStoredSettings();
    storeSettingsWords({2000, 1111, 2222});
    runSession(true);
    std::vector<unsigned char> value = readStoredSettings();
    CHECK_EQ(value.size(), 160);
    std::vector<int> words = wordsOf(value);
    CHECK_EQ(words[1], 1111);
    CHECK_EQ(words[2], 2222);
    for (int i = 3; i < kWords; ++i) CHECK_EQ(words[i], 0);
}

WINE_CASE(longer_values_give_their_block_and_other_types_the_defaults) {
    // Longer than the block: its first 160 bytes are the settings.
    std::vector<int> oversized(50, 0);
    oversized[0] = 2698;
    oversized[1] = 555;
    oversized[39] = 4;
    oversized[45] = 99;
    storeSettingsWords(oversized);
    runSession(false);
    std::vector<unsigned char> value = readStoredSettings();
    CHECK_EQ(value.size(), 160);
    std::vector<int> words = wordsOf(value);
    CHECK_EQ(words[0], 2698);
    CHECK_EQ(words[1], 555);
    CHECK_EQ(words[39], 4);

    // A number or a string is not a settings block: every default, whatever
    // the value says (a number 5 read as the gain word would be +59.9 dB).
    const DWORD number = 5;
    const char text[] = "MORV";
    struct Foreign {
        const void* bytes;
        DWORD size;
        DWORD type;
    };
    for (const Foreign& foreign : {Foreign{&number, sizeof number, REG_DWORD}, Foreign{text, sizeof text, REG_SZ},
                                   Foreign{"", 0, REG_BINARY}}) {
        storeSettings(foreign.bytes, foreign.size, foreign.type);
        runSession(true);
        words = wordsOf(readStoredSettings());
        CHECK_EQ(words[0], 3000);
        CHECK_EQ(words[39], 0);
    }
}

// Run by the test script without a display, where no dialog can be created:
// the stored settings apply all the same and are written back unchanged.
WINE_CASE(stored_settings_apply_without_a_display) {
    std::vector<int> stored(kWords, 0);
    stored[0] = 2698;  // "Level Tuning" at +6.04 dB
    storeSettingsWords(stored);
    {
        PluginLibrary library;
        winampDSPModule* module = library.module(nullptr);
        module->Init(module);
        CHECK(findControlDialog() == nullptr);
        short block[4] = {10000, -10000};
        CHECK_EQ(processOnAudioThread(module, block, 1, 16, 2, 44100), 1);
        const double gain = std::pow(10.0, (60.0 - 2698 / 50.0) / 20.0);
        CHECK_EQ(block[0], static_cast<int>(10000 * gain));
        CHECK_EQ(block[1], static_cast<int>(-10000 * gain));
        module->Quit(module);
    }
    CHECK_EQ(storedWord(readStoredSettings(), 0), 2698);

    // The vibrato's two sliders, away from their defaults (3692 and 3000);
    // 1000 on the delay slider turns into a value whose position by the
    // plain formula is 999.
    stored[0] = 3000;
    stored[1] = 1000;
    stored[2] = 1000;
    stored[39] = 16;
    storeSettingsWords(stored);
    runSession(true);
    std::vector<int> words = wordsOf(readStoredSettings());
    CHECK_EQ(words[39], 16);
    CHECK_EQ(words[1], 1000);
    CHECK_EQ(words[2], 1000);
}
