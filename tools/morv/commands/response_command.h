#pragma once

#include <string>
#include <vector>

class GraphicEqualizer;
struct EqBandTable;

// The magnitude response of an equaliser's designed sections, sampled on a
// logarithmic frequency grid from 20 Hz to half the sample rate.
struct ResponseCurve {
    struct Band {
        std::string label;
        double centre;        // Hz
        double sliderDb;      // the band's gain setting
        double responseDb;    // the whole cascade at the centre
        bool effective;       // false above half the sample rate: the slider has no effect
    };

    std::string title;        // module, preset and rate, plain text
    double sampleRate = 0.0;
    double masterGainDb = 0.0;
    std::vector<double> frequencies;
    std::vector<double> decibels;
    std::vector<Band> bands;
};

constexpr double kResponseLowestFrequency = 20.0;
constexpr int kResponsePoints = 481;

// Samples the cascade of eq's sections as they are designed now. sliderDb holds
// one gain per band of the table.
ResponseCurve computeResponse(const GraphicEqualizer& eq, const EqBandTable& table, const double* sliderDb,
                              int points = kResponsePoints);

// The curve as a self-contained SVG plot: log frequency axis, dB axis.
std::string responseSvg(const ResponseCurve& curve);
// One "frequency_hz,magnitude_db,with_master_gain_db" line per point, after a header.
std::string responseCsv(const ResponseCurve& curve);
// The band table printed by the command.
std::string responseText(const ResponseCurve& curve);
