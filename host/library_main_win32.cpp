// What the library does when the player loads and unloads it.

#include <windows.h>

#include "host/dsp_exports_win32.h"
#include "host/settings_registry_win32.h"
#include "host/window_side_win32.h"

HINSTANCE LibraryInstance = nullptr;

namespace {

// The engine is one of the library's static objects: it is created before
// this runs and released after detachLibrary.
void attachLibrary(HINSTANCE instance) {
    LibraryInstance = instance;
    attachWindowSide();
    loadSettingsFromRegistry();
    DisableThreadLibraryCalls(instance);
}

void detachLibrary(bool processEnding) {
    PluginEngine.releaseModule();
    detachWindowSide(processEnding);
    saveSettingsToRegistry();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) attachLibrary(instance);
    if (reason == DLL_PROCESS_DETACH) detachLibrary(reserved != nullptr);
    return TRUE;
}
