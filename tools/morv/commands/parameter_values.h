#pragma once

#include <string>

#include "framework/parameter_info.h"

// One scale for parameters. Everywhere in morv (list, --set, the presets, the
// JSON summary, the manual) a parameter's value is the number the module
// stores, the number its slider's descriptor ranges over. Where the window's
// knob shows another quantity for it (the factor 2^"Ratio", the depth in
// microseconds for "Delay"), that quantity, in its unit, stands beside it:
// "-1 (0.5×)". --set takes either: a bare number is the stored value, a
// number with a unit written after it is the shown quantity in that unit
// ("0.5x", "1000us", "0.2kHz").

// The stored value a --set VALUE asks for. Throws UsageError, naming the
// parameter, for text that is not a number, a unit the parameter does not
// take, or a value outside the slider's range.
double parameterValueFromText(const ParameterInfo& parameter, const std::string& text);

// A stored value with its unit, or with the shown quantity beside it:
// "200 Hz", "8", "-0.4 (0.758×)", "-3 (1000 µs)".
std::string valueWithUnit(const ParameterInfo& parameter, double value);
// The same without the unit of a plain value (preset tables): "200", "-0.4 (0.758×)".
std::string valueWithShown(const ParameterInfo& parameter, double value);
// The shown quantity of a stored value, in its unit: "0.758×", "1000 µs"; the
// value with its unit when it is shown as it is.
std::string shownText(const ParameterInfo& parameter, double value);

// The slider's range, low to high, as stored: "-1.5 to 1", "50 to 500 Hz".
std::string storedRangeText(const ParameterInfo& parameter);
// The range of the shown quantity, low to high: "0.354× to 2×", "10 µs to
// 100000 µs"; "" for a parameter shown as it is.
std::string shownRangeText(const ParameterInfo& parameter);

// The unit words --set takes for a parameter: "x", "us, ms, s", "Hz, kHz";
// "" for a parameter without a unit.
std::string unitSpellings(const ParameterInfo& parameter);

// The unit words --set takes, one line per kind of unit, for the help text.
std::string unitTable();

// A number for people: three significant digits, no exponent (0.354, 1.32,
// 100000).
std::string roundedNumber(double value);
