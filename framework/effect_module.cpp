#include "framework/effect_module.h"

#include <algorithm>
#include <cstring>

namespace {

std::unique_ptr<double[]> zeroedBuffer(int count) {
    if (count < 1) return nullptr;
    std::unique_ptr<double[]> buffer(new double[count]);
    std::fill(buffer.get(), buffer.get() + count, 0.0);
    return buffer;
}

void growBuffer(std::unique_ptr<double[]>& buffer, int& capacity, int count, int keepCount) {
    if (count <= capacity) return;
    std::unique_ptr<double[]> grown(new double[count]);
    if (keepCount > 0) std::memcpy(grown.get(), buffer.get(), sizeof(double) * std::min(keepCount, capacity));
    buffer = std::move(grown);
    capacity = count;
}

}  // namespace

EffectModule::EffectModule(int capacity)
    : bufferA_(zeroedBuffer(capacity)),
      bufferB_(zeroedBuffer(capacity)),
      capacityA_(capacity),
      capacityB_(capacity) {}

EffectModule::~EffectModule() = default;

int EffectModule::process(const double* in, double* out, int inCount, int outCapacity, int /*channelMask*/) {
    if (in != out && inCount > 0) std::memmove(out, in, sizeof(double) * inCount);
    return outCapacity;
}

int EffectModule::describeParameters(ParamDescriptor* /*descriptors*/) { return 0; }

void EffectModule::setParameters(const double* /*values*/) {}

int EffectModule::extraOutput() { return 0; }

int EffectModule::presets(const PresetRecord** /*table*/) { return 0; }

int EffectModule::presetCount() { return 0; }

double EffectModule::displayValue(int /*parameterIndex*/, double value) { return value; }

void EffectModule::applyParameters(const double* values) {
    ParamDescriptor descriptors[kMaxParameters];
    const int count = describeParameters(descriptors);
    double held[kMaxParameters];
    for (int k = 0; k < count && k < kMaxParameters; ++k) {
        const ParamDescriptor& d = descriptors[k];
        const double width = d.min < d.max ? d.max - d.min : d.min - d.max;
        const double low = (d.min < d.max ? d.min : d.max) - width;
        const double high = (d.min < d.max ? d.max : d.min) + width;
        const double v = values[k];
        held[k] = v != v ? d.defaultValue : v < low ? low : v > high ? high : v;
    }
    setParameters(held);
}

int EffectModule::reset() {
    if (capacityA_ > 0) std::fill(bufferA_.get(), bufferA_.get() + capacityA_, 0.0);
    if (capacityB_ > 0) std::fill(bufferB_.get(), bufferB_.get() + capacityB_, 0.0);
    return 0;
}

bool EffectModule::takeDesignRequest() {
    if (!redesignPending() || stage_.load(std::memory_order_acquire) != kNoDesignTaken) return false;
    captureDesignRequest();
    takenSerial_ = requestSerial_;
    stage_.store(kDesignTaken, std::memory_order_release);
    return true;
}

void EffectModule::prepareDesign() {
    if (stage_.load(std::memory_order_acquire) != kDesignTaken) return;
    buildDesign();
    stage_.store(kDesignReady, std::memory_order_release);
}

bool EffectModule::installDesign() {
    if (stage_.load(std::memory_order_acquire) != kDesignReady) return false;
    swapDesign();
    installedSerial_ = takenSerial_;
    stage_.store(kNoDesignTaken, std::memory_order_release);
    return true;
}

void EffectModule::updateDesign() {
    installDesign();
    if (deferredDesign_ || !takeDesignRequest()) return;
    prepareDesign();
    installDesign();
}

void EffectModule::growA(int count, int keepCount) { growBuffer(bufferA_, capacityA_, count, keepCount); }

void EffectModule::growB(int count, int keepCount) { growBuffer(bufferB_, capacityB_, count, keepCount); }
