#include "tools/morv/commands/response_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "effects/eq/eq_band_table.h"
#include "effects/eq/graphic_equalizer.h"
#include "registry/module_registry.h"
#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/commands.h"
#include "tools/morv/render/effect_session.h"
#include "tools/morv/commands/usage_error.h"

namespace {

// The ten-band equaliser is drawn when no module is named.
constexpr int kDefaultModule = 5;
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;

// Plot geometry, in SVG user units.
constexpr double kWidth = 960, kHeight = 540;
constexpr double kLeft = 70, kRight = 930, kTop = 60, kBottom = 480;
constexpr double kDbStep = 6.0;
constexpr double kMinDbSpan = 24.0;

double toDb(double magnitude) { return 20.0 * std::log10(std::max(magnitude, 1e-30)); }

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0, double d = 0.0) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b, c, d);
    return text;
}

// Text for XML character data and attribute values; labels start with "<" and ">".
std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        switch (ch) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += ch;
        }
    }
    return out;
}

std::string frequencyText(double f) {
    if (f >= 1000.0) return format(std::fmod(f, 1000.0) == 0.0 ? "%.0fk" : "%.1fk", f / 1000.0);
    return format("%g", f);
}

// Maps frequency and level into the plot rectangle.
class PlotFrame {
public:
    PlotFrame(double nyquist, double dbLimit)
        : logLow_(std::log10(kResponseLowestFrequency)), logHigh_(std::log10(nyquist)), dbLimit_(dbLimit) {}
    double x(double f) const { return kLeft + (std::log10(f) - logLow_) / (logHigh_ - logLow_) * (kRight - kLeft); }
    double y(double db) const {
        const double clamped = std::clamp(db, -dbLimit_, dbLimit_);
        return kTop + (dbLimit_ - clamped) / (2.0 * dbLimit_) * (kBottom - kTop);
    }
    double dbLimit() const { return dbLimit_; }

private:
    double logLow_, logHigh_, dbLimit_;
};

// Symmetric level axis in 6 dB steps, at least +-24 dB so that presets compare at a glance.
double levelLimit(const ResponseCurve& curve) {
    double peak = 0.0;
    for (double db : curve.decibels) peak = std::max(peak, std::fabs(db));
    return std::max(kMinDbSpan, std::ceil(peak / kDbStep) * kDbStep);
}

void drawFrequencyGrid(std::string& svg, const PlotFrame& frame, double nyquist) {
    for (double decade = 10.0; decade < nyquist; decade *= 10.0) {
        for (int m = 1; m <= 9; ++m) {
            const double f = decade * m;
            if (f < kResponseLowestFrequency || f > nyquist) continue;
            const bool labelled = (m == 1 || m == 2 || m == 5);
            svg += format("<line x1=\"%.2f\" y1=\"%.0f\" x2=\"%.2f\" y2=\"%.0f\" ", frame.x(f), kTop, frame.x(f),
                          kBottom);
            svg += labelled ? "class=\"major\"/>\n" : "class=\"minor\"/>\n";
            if (labelled) {
                svg += format("<text x=\"%.2f\" y=\"%.0f\" text-anchor=\"middle\">", frame.x(f), kBottom + 18) +
                       frequencyText(f) + "</text>\n";
            }
        }
    }
}

void drawLevelGrid(std::string& svg, const PlotFrame& frame) {
    for (double db = -frame.dbLimit(); db <= frame.dbLimit() + 1e-9; db += kDbStep) {
        svg += format("<line x1=\"%.0f\" y1=\"%.2f\" x2=\"%.0f\" y2=\"%.2f\" ", kLeft, frame.y(db), kRight, frame.y(db));
        svg += db == 0.0 ? "class=\"zero\"/>\n" : "class=\"major\"/>\n";
        svg += format("<text x=\"%.0f\" y=\"%.2f\" text-anchor=\"end\">%+.0f</text>\n", kLeft - 8, frame.y(db) + 4, db);
    }
}

void drawCurve(std::string& svg, const PlotFrame& frame, const ResponseCurve& curve) {
    svg += "<polyline class=\"curve\" points=\"";
    for (size_t i = 0; i < curve.frequencies.size(); ++i) {
        if (i) svg += ' ';
        svg += format("%.2f,%.2f", frame.x(curve.frequencies[i]), frame.y(curve.decibels[i]));
    }
    svg += "\"/>\n";
    for (const ResponseCurve::Band& band : curve.bands) {
        if (!band.effective || band.centre < kResponseLowestFrequency) continue;
        svg += format("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"3.5\"><title>", frame.x(band.centre), frame.y(band.responseDb));
        svg += xmlEscape(band.label) + format(": slider %+.2f dB, response %+.2f dB</title></circle>\n", band.sliderDb,
                                              band.responseDb);
    }
}

GraphicEqualizer& equalizerInSession(const EffectSession& session, int moduleIndex) {
    auto* eq = session.engine().withModule([](EffectModule* m) { return dynamic_cast<GraphicEqualizer*>(m); });
    if (!eq) throw UsageError("module " + std::to_string(moduleIndex) + " could not be built");
    return *eq;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) throw FileError("cannot write \"" + path + "\"");
}

}  // namespace

ResponseCurve computeResponse(const GraphicEqualizer& eq, const EqBandTable& table, const double* sliderDb,
                              int points) {
    ResponseCurve curve;
    curve.sampleRate = eq.sampleRate();
    const double nyquist = eq.sampleRate() / 2.0;
    const double ratio = std::log(nyquist / kResponseLowestFrequency);
    for (int i = 0; i < points; ++i) {
        const double f = i + 1 == points ? nyquist : kResponseLowestFrequency * std::exp(ratio * i / (points - 1));
        curve.frequencies.push_back(f);
        curve.decibels.push_back(toDb(eq.magnitudeAt(f)));
    }
    for (int b = 0; b < table.bandCount; ++b) {
        const double centre = table.centreFrequencies[b];
        const bool effective = b < eq.effectiveBandCount();
        curve.bands.push_back({table.bandLabels[b], centre, sliderDb[b], effective ? toDb(eq.magnitudeAt(centre)) : 0.0,
                               effective});
    }
    return curve;
}

std::string responseSvg(const ResponseCurve& curve) {
    const double nyquist = curve.sampleRate / 2.0;
    const PlotFrame frame(nyquist, levelLimit(curve));
    std::string svg = format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n", kWidth,
        kHeight, kWidth, kHeight);
    svg += "<style>text{font:13px sans-serif;fill:#333}.title{font-size:16px;font-weight:bold}"
           ".minor{stroke:#eee}.major{stroke:#ccc}.zero{stroke:#777}"
           ".curve{fill:none;stroke:#1565c0;stroke-width:2}circle{fill:#1565c0}</style>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    // Module names keep their inner spaces ("GEQ-10 Bands 1    Oct").
    svg += format("<text class=\"title\" x=\"%.0f\" y=\"28\" xml:space=\"preserve\">", kLeft) + xmlEscape(curve.title) + "</text>\n";
    svg += format("<text x=\"%.0f\" y=\"48\">master gain %+.1f dB, not included in the curve</text>\n", kLeft,
                  curve.masterGainDb);
    drawFrequencyGrid(svg, frame, nyquist);
    drawLevelGrid(svg, frame);
    svg += format("<rect x=\"%.0f\" y=\"%.0f\" width=\"%.0f\" height=\"%.0f\" fill=\"none\" stroke=\"#777\"/>\n", kLeft,
                  kTop, kRight - kLeft, kBottom - kTop);
    drawCurve(svg, frame, curve);
    svg += format("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">frequency (Hz)</text>\n", (kLeft + kRight) / 2,
                  kBottom + 42);
    svg += format("<text x=\"18\" y=\"%.0f\" text-anchor=\"middle\" transform=\"rotate(-90 18 %.0f)\">level (dB)</text>\n",
                  (kTop + kBottom) / 2, (kTop + kBottom) / 2);
    svg += "</svg>\n";
    return svg;
}

std::string responseCsv(const ResponseCurve& curve) {
    std::string csv = "frequency_hz,magnitude_db,with_master_gain_db\n";
    for (size_t i = 0; i < curve.frequencies.size(); ++i) {
        csv += format("%.3f,%.4f,%.4f\n", curve.frequencies[i], curve.decibels[i],
                      curve.decibels[i] + curve.masterGainDb);
    }
    return csv;
}

std::string responseText(const ResponseCurve& curve) {
    std::string text = curve.title + "\n";
    text += format("master gain %+.2f dB (not included below)\n", curve.masterGainDb);
    text += "band    centre Hz   slider dB   response dB\n";
    for (const ResponseCurve::Band& band : curve.bands) {
        char line[128];
        if (band.effective) {
            std::snprintf(line, sizeof line, "%-6s %10g %+11.2f %+13.2f\n", band.label.c_str(), band.centre,
                          band.sliderDb, band.responseDb);
        } else {
            std::snprintf(line, sizeof line, "%-6s %10g %+11.2f   above half the sample rate: no effect\n",
                          band.label.c_str(), band.centre, band.sliderDb);
        }
        text += line;
    }
    const auto [low, high] = std::minmax_element(curve.decibels.begin(), curve.decibels.end());
    text += format("range %+.2f to %+.2f dB between 20 Hz and %g Hz\n", *low, *high, curve.sampleRate / 2.0);
    return text;
}

int runResponseCommand(const std::vector<std::string>& args) {
    CommandLine line(args, {"module", "preset", "set", "rate", "svg", "csv"}, {});
    if (!line.positional().empty()) throw UsageError("response takes no file names; use --svg FILE or --csv FILE");
    EffectChoice choice;
    choice.moduleIndex = kDefaultModule;
    readEffectChoice(line, &choice);
    const EqBandTable* table = eqBandTableFor(choice.moduleIndex);
    if (!table) {
        throw UsageError("module \"" + std::string(moduleNameText(choice.moduleIndex)) +
                         "\" is not a graphic equaliser; response draws modules 4 to 8 (GEQ-3 to GEQ-31)");
    }
    const int rate = parseInt(line.value("rate", "44100"), "--rate");
    if (rate < kLowestRate || rate > kHighestRate) {
        throw UsageError("--rate must lie between " + std::to_string(kLowestRate) + " and " +
                         std::to_string(kHighestRate) + " Hz");
    }

    EffectSession session(choice, rate, 2);
    GraphicEqualizer& eq = equalizerInSession(session, choice.moduleIndex);
    // The sections are designed at the start of the next block; an empty block applies the settings.
    eq.process(nullptr, nullptr, 0, 0, 3);

    const EngineSnapshot shown = session.engine().snapshot();
    ResponseCurve curve = computeResponse(eq, *table, shown.values);
    curve.masterGainDb = toDb(shown.masterGain);
    const std::string preset = session.presetName();
    curve.title = std::string(moduleNameText(choice.moduleIndex)) + ", preset \"" +
                  (preset.empty() ? std::string("(none)") : preset) + "\", " + std::to_string(rate) + " Hz";

    std::fputs(responseText(curve).c_str(), stdout);
    if (line.has("svg")) writeFile(line.value("svg"), responseSvg(curve));
    if (line.has("csv")) writeFile(line.value("csv"), responseCsv(curve));
    return 0;
}
