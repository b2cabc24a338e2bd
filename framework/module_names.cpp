#include "framework/module_names.h"

#define WHITE "\xA1\xF3"
#define BLACK "\xA1\xF4"

const char* const ModuleNames[kModuleNameCount] = {
    WHITE "Level Tuning",
    BLACK "Restoration-DeClick",
    BLACK "Restoration-DeHiss",
    BLACK "Restoration-DeNoise",
    WHITE "GEQ-  3 Bands 8/3 Oct",
    WHITE "GEQ-10 Bands 1    Oct",
    WHITE "GEQ-15 Bands 2/3 Oct",
    WHITE "GEQ-20 Bands 1/2 Oct",
    WHITE "GEQ-31 Bands 1/3 Oct",
    BLACK "Spacial-DeVocal Mono",
    BLACK "Spacial-DeVocal Stereo",
    BLACK "Spacial-ModalReverb",
    BLACK "Spacial-Virtual3D",
    WHITE "T/P-Resampler",
    WHITE "T/P-TempoScaler",
    WHITE "T/P-PitchScaler",
    BLACK "Distortion-Vibrato",
    BLACK "Distortion-Whisper",
    BLACK "Dist-ASImpact",
};

#undef WHITE
#undef BLACK

const char* moduleNameText(int index) { return ModuleNames[index] + 2; }

bool moduleNameBlackMarker(int index) { return static_cast<unsigned char>(ModuleNames[index][1]) == 0xF4; }
