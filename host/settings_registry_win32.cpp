#include "host/settings_registry_win32.h"

#include <windows.h>

#include <vector>

#include "host/dsp_exports_win32.h"

namespace {

const char kSettingsKey[] = "Software\\MORV Studio";
const char kSettingsValue[] = "MORVSETTING";
// A value longer than this is not ours to read whole: the defaults stay.
const DWORD kLongestValue = 1 << 16;

}  // namespace

void loadSettingsFromRegistry() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        PluginEngine.loadSettings(nullptr, 0, false);
        return;
    }
    // Only a binary value holds the block; any other type (a number, a
    // string) leaves the defaults. A longer value gives its first 160 bytes.
    DWORD type = 0;
    DWORD length = 0;
    LONG status = RegQueryValueExA(key, kSettingsValue, nullptr, &type, nullptr, &length);
    std::vector<unsigned char> bytes;
    if (status == ERROR_SUCCESS && type == REG_BINARY && length <= kLongestValue) {
        bytes.resize(length > 0 ? length : 1);
        status = RegQueryValueExA(key, kSettingsValue, nullptr, &type, bytes.data(), &length);
    }
    RegCloseKey(key);
    const bool readOk = status == ERROR_SUCCESS && type == REG_BINARY && length <= bytes.size();
    PluginEngine.loadSettings(bytes.data(), readOk ? static_cast<int>(length) : 0, readOk);
}

void saveSettingsToRegistry() {
    unsigned char bytes[kSettingsBytes];
    PluginEngine.saveSettings(bytes);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kSettingsValue, 0, REG_BINARY, bytes, sizeof bytes);
    RegCloseKey(key);
}
