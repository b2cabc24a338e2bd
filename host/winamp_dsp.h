#pragma once

// The player's DSP plug-in records. Window and instance handles are kept as
// void* so the declarations compile everywhere; on 32-bit Windows the layout
// is the one the player expects.
struct winampDSPModule {
    const char* description;
    void* hwndParent;
    void* hDllInstance;
    void (*Config)(winampDSPModule* thisModule);
    int (*Init)(winampDSPModule* thisModule);
    // Called with interleaved samples of numsamples frames; the buffer has room
    // for twice as many. Returns the number of frames now in the buffer.
    int (*ModifySamples)(winampDSPModule* thisModule, short* samples, int numsamples, int bps, int nch,
                         int srate);
    void (*Quit)(winampDSPModule* thisModule);
    void* userData;
};

struct winampDSPHeader {
    int version;
    const char* description;
    winampDSPModule* (*getModule)(int index);
};
