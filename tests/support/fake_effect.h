#pragma once

#include <cstring>
#include <vector>

#include "framework/effect_module.h"
#include "registry/module_registry.h"

// A module with parameters and a real preset table, for exercising the code
// around modules (pipeline, presets, settings) without a particular effect.
class FakeEffect : public EffectModule {
public:
    FakeEffect(int presetModuleIndex, std::vector<ParamDescriptor> parameters)
        : EffectModule(5000), table_(presetTableFor(presetModuleIndex)), parameters_(std::move(parameters)) {}

    int process(const double* in, double* out, int inCount, int outCapacity, int mask) override {
        ++processCalls;
        lastMask = mask;
        lastOutCapacity = outCapacity;
        if (producedOverride >= 0) return producedOverride;
        return EffectModule::process(in, out, inCount, outCapacity, mask);
    }
    int describeParameters(ParamDescriptor* d) override {
        for (size_t k = 0; k < parameters_.size(); ++k) d[k] = parameters_[k];
        return static_cast<int>(parameters_.size());
    }
    void setParameters(const double* values) override {
        received.assign(values, values + parameters_.size());
        ++setCalls;
    }
    int extraOutput() override { return extra; }
    int presets(const PresetRecord** table) override {
        if (table_.count > 0) *table = table_.records;
        return table_.count;
    }
    int presetCount() override { return table_.count; }

    PresetTable table_;
    std::vector<ParamDescriptor> parameters_;
    std::vector<double> received;
    int setCalls = 0;
    int processCalls = 0;
    int lastMask = -1;
    int lastOutCapacity = -1;
    int extra = 0;
    int producedOverride = -1;
};

inline ParamDescriptor makeDescriptor(const char* name, double max, double min, double defaultValue) {
    ParamDescriptor d{};
    std::strncpy(d.name, name, sizeof d.name - 1);
    d.max = max;
    d.min = min;
    d.defaultValue = defaultValue;
    return d;
}
