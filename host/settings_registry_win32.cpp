#include "host/settings_registry_win32.h"

#include <windows.h>

#include "host/plugin_state.h"
#include "host/settings_block.h"

namespace {

const char kSettingsKey[] = "Software\\MORV Studio";
const char kSettingsValue[] = "MORVSETTING";

}  // namespace

void loadSettingsFromRegistry() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        loadSettings(nullptr, 0, false);
        return;
    }
    // Read into a block of our own: a value longer than the block fails to
    // read and must not leave a partial copy in the settings.
    unsigned char bytes[kSettingsBytes] = {};
    DWORD length = sizeof bytes;
    const LONG status = RegQueryValueExA(key, kSettingsValue, nullptr, nullptr, bytes, &length);
    RegCloseKey(key);
    const bool readOk = status == ERROR_SUCCESS && length <= sizeof bytes;
    loadSettings(bytes, readOk ? static_cast<int>(length) : 0, readOk);
}

void saveSettingsToRegistry() {
    unsigned char bytes[kSettingsBytes];
    saveSettings(bytes);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, bytes, sizeof bytes);
    RegCloseKey(key);
}
