#include "effects/timepitch/time_pitch_presets.h"

// Value 0 of a record is the master gain in dB, value k + 1 parameter k.

namespace {

// "T/P-Resampler"
const PresetRecord kResamplerRecords[] = {
    {"Original", {0, 0}},
    {"DownSample", {0, -0.4}},
    {"UpSample", {0, 0.4}},
    {"Custom", {0, 0}},
};

// "T/P-TempoScaler"
const PresetRecord kTempoScalerRecords[] = {
    {"Original", {0, 0}},
    {"SpeedUp", {0, -0.4}},
    {"SlowDown", {0, 0.4}},
    {"Custom", {0, 0}},
};

// "T/P-PitchScaler"
const PresetRecord kPitchScalerRecords[] = {
    {"Original", {0, 0}},
    {"Child", {0, 0.4}},
    {"BassTone", {3, -0.4}},
    {"Custom", {0, 0}},
};

}  // namespace

const PresetTable kResamplerPresets = makePresetTable(kResamplerRecords);
const PresetTable kTempoScalerPresets = makePresetTable(kTempoScalerRecords);
const PresetTable kPitchScalerPresets = makePresetTable(kPitchScalerRecords);
