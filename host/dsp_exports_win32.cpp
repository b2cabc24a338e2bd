#include "host/dsp_exports_win32.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "host/display.h"
#include "host/window_side_win32.h"

namespace {

// Players of this class answer no version query; they count as version 0.
const char kClassicPlayerClass[] = "Winamp V1.x";
const int kClassNameLength = 50;
const UINT kVersionQuery = WM_USER;
// A player whose window thread does not answer must not hang Init.
const UINT kVersionQueryTimeoutMs = 5000;
const int kHeaderVersion = 0x20;

winampDSPModule* getModule(int index) { return index == 0 ? &PluginModule : nullptr; }

int queryHostVersion(HWND host) {
    char className[kClassNameLength + 1] = {};
    if (host && GetClassNameA(host, className, sizeof className) > 0 &&
        std::strcmp(className, kClassicPlayerClass) == 0)
        return 0;
    DWORD_PTR version = 0;
    if (!SendMessageTimeoutA(host, kVersionQuery, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kVersionQueryTimeoutMs,
                             &version))
        return 0;
    return static_cast<int>(version);
}

// The resources live in this library; a host that leaves the instance
// handle empty still gets the dialog.
HINSTANCE resourceInstance(const winampDSPModule* module) {
    HINSTANCE given = static_cast<HINSTANCE>(module->hDllInstance);
    return given ? given : LibraryInstance;
}

HWND hostWindow(const winampDSPModule* module) { return static_cast<HWND>(module->hwndParent); }

int initialise(winampDSPModule* module) {
    if (!module) module = &PluginModule;
    PluginEngine.setHostVersion(queryHostVersion(hostWindow(module)));
    hookHostWindow(hostWindow(module));
    if (PluginEngine.sampleRate() > 0 && PluginEngine.channelCount() > 0) {
        // A module that cannot be built leaves none; the pipeline then hands
        // blocks back untouched until a rebuild succeeds.
        try {
            PluginEngine.buildModule(PluginEngine.moduleIndex(), false);
        } catch (...) {
        }
        // The stored settings apply to the new module whether or not a
        // dialog opens (a host without a display has none); the dialog's
        // layout applies the same rule again and finds nothing to change.
        PluginEngine.setRestoreState(kRestoreLoaded);
        PluginEngine.restoreSettings();
    }
    closeControlWindow();
    openControlWindow(hostWindow(module), resourceInstance(module));
    return 0;
}

void configure(winampDSPModule* module) {
    if (!module) module = &PluginModule;
    if (controlWindowOpen()) return;
    openControlWindow(hostWindow(module), resourceInstance(module));
}

void quit(winampDSPModule*) { unhookHostWindow(); }

// The work buffer holds three doubles per sample. On 32 bits the byte count
// of a huge block does not fit a size_t; computed there it would wrap round
// to a buffer too small for the block.
bool workBufferAddressable(int numsamples, int nch) {
    if (numsamples <= 0 || nch <= 0) return true;
    const uint64_t bytes = 3ull * sizeof(double) * static_cast<uint64_t>(numsamples) * static_cast<uint64_t>(nch);
    return bytes <= static_cast<uint64_t>(PTRDIFF_MAX);
}

// A block whose work buffer cannot be had gets the error box and comes back
// untouched, whether the size cannot be addressed or the allocation throws;
// no exception may unwind into the player. The player's buffer is written
// only after the module has run, so it is untouched in either case.
int modifySamples(winampDSPModule*, short* samples, int numsamples, int bps, int nch, int srate) {
    if (PluginEngine.channelMask() != 0 && !workBufferAddressable(numsamples, nch)) {
        currentDisplay().showError("Memory allocation failed");
        return numsamples;
    }
    try {
        return PluginEngine.modifySamples(samples, numsamples, bps, nch, srate);
    } catch (const std::bad_alloc&) {
        currentDisplay().showError("Memory allocation failed");
    } catch (...) {
    }
    return numsamples;
}

const winampDSPHeader PluginHeader = {kHeaderVersion, "MORV Studio 1.0", getModule};

}  // namespace

Engine PluginEngine;

winampDSPModule PluginModule = {
    "MORV Studio", nullptr, nullptr, configure, initialise, modifySamples, quit, PluginEngine.moduleIndexWord(),
};

extern "C" winampDSPHeader* winampDSPGetHeader2() { return const_cast<winampDSPHeader*>(&PluginHeader); }
