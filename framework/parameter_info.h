#pragma once

#include <cstddef>

#include "framework/param_descriptor.h"

// The value a slider stands for, as its knob and the manual show it, from
// the value the module works with (2^x for an exponent, microseconds for a
// base-10 logarithm of seconds). Null: the value is shown as it is.
using ShownValue = double (*)(double value);

// Everything known about one parameter without building its module: the
// slider's descriptor, the unit of the shown value ("" when it has none),
// how the value is shown, and what the parameter sets.
struct ParameterInfo {
    ParamDescriptor descriptor;
    const char* unit;
    const char* meaning;
    ShownValue shown;
};

// A module's parameters for a sample rate, in slider order; returns their
// number (at most kMaxParameters).
using ParameterSource = int (*)(double sampleRate, ParameterInfo* out);

inline double shownValue(const ParameterInfo& parameter, double value) {
    return parameter.shown ? parameter.shown(value) : value;
}

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
