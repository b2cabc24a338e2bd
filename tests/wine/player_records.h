#pragma once

#include <windows.h>

// The DSP plug-in records as the player declares them. Declared here on their
// own, not shared with the library, so that a layout mistake on either side
// shows up as a failed test rather than agreeing with itself.
struct winampDSPModule {
    char* description;
    HWND hwndParent;
    HINSTANCE hDllInstance;
    void (*Config)(winampDSPModule* module);
    int (*Init)(winampDSPModule* module);
    int (*ModifySamples)(winampDSPModule* module, short* samples, int numsamples, int bps, int nch,
                         int srate);
    void (*Quit)(winampDSPModule* module);
    void* userData;
};

struct winampDSPHeader {
    int version;
    char* description;
    winampDSPModule* (*getModule)(int index);
};

static_assert(sizeof(winampDSPModule) == 32, "the player reads a 32-byte module record");
static_assert(sizeof(winampDSPHeader) == 12, "a version 0x20 header has three fields");

using GetHeaderFunction = winampDSPHeader* (*)();
