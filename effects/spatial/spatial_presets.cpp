#include "effects/spatial/spatial_presets.h"

// Value 0 of a record is the master gain in dB, value k + 1 parameter k.

namespace {

// "Spacial-DeVocal Mono"
const PresetRecord kDeVocalMonoRecords[] = {
    {"Norm", {6, 200, 10000, 0}},
    {"WIDE Cut", {6, 50, 16000, 0}},
    {"Custom", {6, 200, 10000, 0}},
};

// "Spacial-DeVocal Stereo"
const PresetRecord kDeVocalStereoRecords[] = {
    {"DeVocalNorm", {6, 0, -1, 150, 16000}},
    {"DeVocalWide", {6, 0, -1, 50, 20000}},
    {"Vocal Boost", {-6, 0, 1.5, 100, 16000}},
    {"Custom", {6, 0, -1, 150, 16000}},
};

// "Spacial-ModalReverb"
const PresetRecord kModalReverbRecords[] = {
    {"Small Room", {0, 2, 0.85, 0.2, 0.3, 0.5}},
    {"Small Hall", {0, 4, 0.85, 0.2, 0.3, 0.5}},
    {"Large Hall", {0, 8, 0.8, 0.3, 0.35, 0.35}},
    {"Custom", {0, 2, 0.85, 0.2, 0.3, 0.5}},
};

// "Spacial-Virtual3D"
const PresetRecord kVirtual3DRecords[] = {
    {"Ahead", {0, 0, 0, 0}},
    {"OverHead", {0, 0, 90, 0}},
    {"Behind", {0, 0, 180, 0}},
    {"Below", {0, 0, 230.625, 0}},
    {"Left", {0, -80, 0, 0}},
    {"Right", {0, 80, 0, 0}},
    {"Custom", {0, 0, 0, 0}},
};

}  // namespace

const PresetTable kDeVocalMonoPresets = makePresetTable(kDeVocalMonoRecords);
const PresetTable kDeVocalStereoPresets = makePresetTable(kDeVocalStereoRecords);
const PresetTable kModalReverbPresets = makePresetTable(kModalReverbRecords);
const PresetTable kVirtual3DPresets = makePresetTable(kVirtual3DRecords);
