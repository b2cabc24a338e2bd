#pragma once

// The band layout of one graphic-equaliser family: everything that differs
// between the five equaliser modules.
struct EqBandTable {
    const double* centreFrequencies;  // Hz, ascending
    double bandwidth;                 // octaves, shared by every peaking section
    int bandCount;
    const char* const* bandLabels;    // slider captions; the outer bands are the shelves
};

// The five equaliser families, from 3 to 31 bands, in that order.
constexpr int kEqFamilyCount = 5;
extern const EqBandTable kEqBandTables[kEqFamilyCount];
