#pragma once

#include <cstddef>

#include "framework/param_descriptor.h"

// The value a slider stands for, as its knob and the manual show it, from
// the value the module works with (2^x for an exponent, microseconds for a
// base-10 logarithm of seconds). Null: the value is shown as it is.
using ShownValue = double (*)(double value);
// The other way: the value the module works with for a shown one.
using StoredValue = double (*)(double shown);

// Everything known about one parameter without building its module: the
// slider's descriptor, the unit of the shown value ("" when it has none),
// what the parameter sets (for a value shown in another form, the formula
// that links the two), and how the value is shown and read back. A parameter
// with a shown form has both directions.
struct ParameterInfo {
    ParamDescriptor descriptor;
    const char* unit;
    const char* meaning;
    ShownValue shown;
    StoredValue stored = nullptr;
};

// A module's parameters for a sample rate, in slider order; returns their
// number (at most kMaxParameters).
using ParameterSource = int (*)(double sampleRate, ParameterInfo* out);

inline double shownValue(const ParameterInfo& parameter, double value) {
    return parameter.shown ? parameter.shown(value) : value;
}

inline double storedValue(const ParameterInfo& parameter, double shown) {
    return parameter.stored ? parameter.stored(shown) : shown;
}

// True when the knob shows something other than the value itself.
inline bool hasShownForm(const ParameterInfo& parameter) { return parameter.shown != nullptr; }

// Copies a module's fixed parameter table; returns its length.
template <std::size_t N>
int copyParameters(const ParameterInfo (&table)[N], ParameterInfo* out) {
    static_assert(N <= kMaxParameters, "a module has at most kMaxParameters sliders");
    for (std::size_t k = 0; k < N; ++k) out[k] = table[k];
    return static_cast<int>(N);
}

// The slider descriptors of a parameter list; returns its length.
inline int copyDescriptors(const ParameterInfo* parameters, int count, ParamDescriptor* out) {
    for (int k = 0; k < count; ++k) out[k] = parameters[k].descriptor;
    return count;
}

template <std::size_t N>
int copyDescriptors(const ParameterInfo (&table)[N], ParamDescriptor* out) {
    return copyDescriptors(table, static_cast<int>(N), out);
}

// The descriptors a parameter source gives for a rate.
inline int describeFrom(ParameterSource source, double sampleRate, ParamDescriptor* out) {
    ParameterInfo parameters[kMaxParameters];
    return copyDescriptors(parameters, source(sampleRate, parameters), out);
}
