#include "tools/morv/commands/parameter_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/morv/commands/command_line.h"
#include "tools/morv/commands/json_text.h"
#include "tools/morv/commands/usage_error.h"

namespace {

const char kTimes[] = "\xC3\x97";

// A unit word --set takes, and how many of the parameter's unit it stands for.
struct UnitWord {
    const char* word;
    double scale;
};

// The words of one unit, as the parameter tables name it (ParameterInfo::unit).
struct UnitKind {
    const char* unit;
    std::vector<UnitWord> words;  // the first is the one the help names first
};

const std::vector<UnitKind>& unitKinds() {
    static const std::vector<UnitKind> kinds = {
        {kTimes, {{"x", 1.0}, {kTimes, 1.0}}},
        {"\xC2\xB5s", {{"us", 1.0}, {"\xC2\xB5s", 1.0}, {"\xCE\xBCs", 1.0}, {"ms", 1e3}, {"s", 1e6}}},
        {"s", {{"s", 1.0}, {"ms", 1e-3}}},
        {"Hz", {{"Hz", 1.0}, {"kHz", 1e3}}},
        {"dB", {{"dB", 1.0}}},
        {"degrees", {{"deg", 1.0}, {"degrees", 1.0}, {"\xC2\xB0", 1.0}}},
    };
    return kinds;
}

const UnitKind* kindOf(const char* unit) {
    for (const UnitKind& kind : unitKinds()) {
        if (std::strcmp(kind.unit, unit) == 0) return &kind;
    }
    return nullptr;
}

// ASCII letters in lower case; other bytes (UTF-8 included) as they are.
std::string lowered(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "x" and "×" join the number; other units follow a space.
std::string withUnit(const std::string& number, const char* unit) {
    if (!*unit) return number;
    return number + (std::strcmp(unit, kTimes) == 0 ? "" : " ") + unit;
}

std::string quoted(const ParameterInfo& parameter) { return std::string("\"") + parameter.descriptor.name + "\""; }

double lowOf(const ParamDescriptor& d) { return std::min(d.min, d.max); }
double highOf(const ParamDescriptor& d) { return std::max(d.min, d.max); }

// Arithmetic leaves 0.9999999999999999 for 3^1 read back; a value that close
// to a number of nine decimals is that number.
double withoutRoundingNoise(double value) {
    const double tidy = std::round(value * 1e9) / 1e9;
    return std::fabs(value - tidy) <= 1e-12 * std::max(1.0, std::fabs(value)) ? tidy : value;
}

// A value read back from a shown quantity that lies beyond a bound by
// rounding alone is the bound.
double heldByTolerance(const ParamDescriptor& d, double value) {
    const double tolerance = 1e-9 * (highOf(d) - lowOf(d));
    if (value < lowOf(d) && value >= lowOf(d) - tolerance) return lowOf(d);
    if (value > highOf(d) && value <= highOf(d) + tolerance) return highOf(d);
    return value;
}

bool inRange(const ParamDescriptor& d, double value) { return value >= lowOf(d) && value <= highOf(d); }

std::string firstUnitWord(const ParameterInfo& parameter) {
    const UnitKind* kind = kindOf(parameter.unit);
    return kind ? kind->words.front().word : "";
}

// What a parameter takes, for error messages: "-1.5 to 1 as stored, or 0.354×
// to 2× written with its unit (x, ×), such as Ratio=2x".
std::string whatItTakes(const ParameterInfo& parameter) {
    std::string text = storedRangeText(parameter);
    if (hasShownForm(parameter)) {
        const ParamDescriptor& d = parameter.descriptor;
        text += " as stored, or " + shownRangeText(parameter) + " written with its unit (" + unitSpellings(parameter) +
                "), such as " + d.name + "=" + roundedNumber(shownValue(parameter, d.max)) + firstUnitWord(parameter);
    } else if (*parameter.unit) {
        text += ", with or without its unit (" + unitSpellings(parameter) + ")";
    }
    return text;
}

}  // namespace

std::string roundedNumber(double value) {
    if (value == 0.0 || !std::isfinite(value)) return jsonNumber(value);
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = std::max(0, 2 - magnitude);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string out = text;
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0') out.pop_back();
        if (out.back() == '.') out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

std::string shownText(const ParameterInfo& parameter, double value) {
    if (!hasShownForm(parameter)) return withUnit(jsonNumber(value), parameter.unit);
    return withUnit(roundedNumber(shownValue(parameter, value)), parameter.unit);
}

std::string valueWithUnit(const ParameterInfo& parameter, double value) {
    if (!hasShownForm(parameter)) return withUnit(jsonNumber(value), parameter.unit);
    return jsonNumber(value) + " (" + shownText(parameter, value) + ")";
}

std::string valueWithShown(const ParameterInfo& parameter, double value) {
    if (!hasShownForm(parameter)) return jsonNumber(value);
    return valueWithUnit(parameter, value);
}

std::string storedRangeText(const ParameterInfo& parameter) {
    const ParamDescriptor& d = parameter.descriptor;
    const std::string range = jsonNumber(lowOf(d)) + " to " + jsonNumber(highOf(d));
    return hasShownForm(parameter) ? range : withUnit(range, parameter.unit);
}

std::string shownRangeText(const ParameterInfo& parameter) {
    if (!hasShownForm(parameter)) return "";
    const ParamDescriptor& d = parameter.descriptor;
    const double a = shownValue(parameter, d.min), b = shownValue(parameter, d.max);
    return shownText(parameter, a < b ? d.min : d.max) + " to " + shownText(parameter, a < b ? d.max : d.min);
}

std::string unitSpellings(const ParameterInfo& parameter) {
    const UnitKind* kind = kindOf(parameter.unit);
    if (!kind) return "";
    std::string text;
    for (const UnitWord& word : kind->words) text += (text.empty() ? "" : ", ") + std::string(word.word);
    return text;
}

std::string unitTable() {
    std::string text;
    for (const UnitKind& kind : unitKinds()) {
        std::string words;
        for (const UnitWord& word : kind.words) {
            words += (words.empty() ? "" : ", ") + std::string(word.word);
            if (word.scale != 1.0) words += " (" + jsonNumber(word.scale) + " " + kind.unit + ")";
        }
        text += std::string(kind.unit) + ": " + words + "\n";
    }
    return text;
}

double parameterValueFromText(const ParameterInfo& parameter, const std::string& text) {
    const std::string what = std::string("value of ") + parameter.descriptor.name;
    // The unit is what follows the number: the bytes after its last digit or point.
    size_t split = text.size();
    while (split > 0 && !((text[split - 1] >= '0' && text[split - 1] <= '9') || text[split - 1] == '.')) --split;
    const std::string number = trimmed(text.substr(0, split));
    const std::string unit = trimmed(text.substr(split));
    const double written = parseDouble(unit.empty() || number.empty() ? text : number, what);
    const ParamDescriptor& d = parameter.descriptor;

    // A bare number is the stored value itself.
    if (unit.empty()) {
        if (!inRange(d, written)) {
            throw UsageError("value of " + quoted(parameter) + " out of range: " + whatItTakes(parameter));
        }
        return written;
    }

    const UnitKind* kind = kindOf(parameter.unit);
    const UnitWord* word = nullptr;
    for (size_t i = 0; kind && i < kind->words.size() && !word; ++i) {
        if (lowered(kind->words[i].word) == lowered(unit)) word = &kind->words[i];
    }
    if (!word) {
        if (!kind) throw UsageError("value of " + quoted(parameter) + " takes no unit, not \"" + unit + "\"");
        throw UsageError("value of " + quoted(parameter) + ": unknown unit \"" + unit + "\"; it takes " +
                         whatItTakes(parameter));
    }
    const double quantity = written * word->scale;
    const double low = shownValue(parameter, d.min), high = shownValue(parameter, d.max);
    const double tolerance = 1e-9 * std::fabs(high - low);
    if (!(quantity >= std::min(low, high) - tolerance && quantity <= std::max(low, high) + tolerance)) {
        throw UsageError("value of " + quoted(parameter) + " out of range: " + text + "; it takes " +
                         whatItTakes(parameter));
    }
    const double value = heldByTolerance(d, withoutRoundingNoise(storedValue(parameter, quantity)));
    return std::min(highOf(d), std::max(lowOf(d), value));
}
