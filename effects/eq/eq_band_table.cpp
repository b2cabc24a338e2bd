#include "effects/eq/eq_band_table.h"


namespace {

// 3 bands. The width is 2.661 octaves, slightly narrower than the 8/3 of the name.
const double kFrequencies3[] = {200, 1265, 8000};
const char* const kLabels3[] = {"<200", "1265", ">8k"};

const double kFrequencies10[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
const char* const kLabels10[] = {"<31", "62", "125", "250", "500", "1k", "2k", "4k", "8k", ">16k"};

const double kFrequencies15[] = {25, 40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 16000};
const char* const kLabels15[] = {"<25", "40", "63", "100", "160", "250", "400", "630",
                                 "1k",  "1.6", "2.5", "4k", "6.3", "10k", ">16k"};

const double kFrequencies20[] = {31,   44,   63,   88,   125,  180,  250,  355,   500,   710,
                                 1000, 1400, 2000, 2800, 4000, 5600, 8000, 11300, 16000, 20000};
const char* const kLabels20[] = {"<31", "44",   "63", "88",   "125", "180",  "250", "355",   "500", "710",
                                 "1k",  "1.4k", "2k", "2.8k", "4k",  "5.6k", "8k",  "11.3k", "16k", ">20k"};

const double kFrequencies31[] = {20,   25,   31.5, 40,   50,   63,   80,    100,   125,   160,  200,
                                 250,  315,  400,  500,  630,  800,  1000,  1250,  1600,  2000, 2500,
                                 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
const char* const kLabels31[] = {"<20", "25",   "31.5", "40",  "50",  "63",  "80",  "100", "125", "160", "200",
                                 "250", "315",  "400",  "500", "630", "800", "1k",  "1250", "1.6", "2k",  "2.5",
                                 "3.1", "4k",   "5k",   "6.3", "8k",  "10k", "12.5", "16k", ">20k"};

template <int N>
constexpr EqBandTable makeTable(const double (&frequencies)[N], const char* const (&labels)[N], double bandwidth) {
    return EqBandTable{frequencies, bandwidth, N, labels};
}

}  // namespace

const EqBandTable kEqBandTables[kEqFamilyCount] = {
    makeTable(kFrequencies3, kLabels3, 2.661),
    makeTable(kFrequencies10, kLabels10, 1.0),
    makeTable(kFrequencies15, kLabels15, 2.0 / 3.0),
    makeTable(kFrequencies20, kLabels20, 0.5),
    makeTable(kFrequencies31, kLabels31, 1.0 / 3.0),
};
