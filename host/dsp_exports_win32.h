#pragma once

#include "host/engine.h"
#include "host/winamp_dsp.h"

// The one engine the player's module record drives, with the control window.
extern Engine PluginEngine;

// The plug-in's one module record, as handed to the player.
extern winampDSPModule PluginModule;

// The library's only export (named in resources/dsp_morv.def).
extern "C" winampDSPHeader* winampDSPGetHeader2();
