#pragma once

#include "host/winamp_dsp.h"

// The plug-in's one module record, as handed to the player.
extern winampDSPModule PluginModule;

// The library's only export (named in resources/dsp_morv.def).
extern "C" winampDSPHeader* winampDSPGetHeader2();
