#include "host/engine.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "framework/slider_scale.h"
#include "registry/module_registry.h"

// A module built outside the lock, with its descriptors, ready to swap in.
struct Engine::Built {
    std::unique_ptr<EffectModule> module;
    ParamDescriptor descriptors[kMaxParameters] = {};
    int count = 0;
};

Engine::Engine(Display* display) : display_(display) {}

Engine::~Engine() = default;

Engine::Built Engine::build(int index, int rate, int channels) {
    Built built;
    try {
        built.module = createModule(index, rate, channels);
    } catch (const std::bad_alloc&) {
        built.module.reset();
        return built;
    }
    // The row describes the module without asking it.
    built.count = describeModule(index, rate, built.descriptors);
    return built;
}

// Builds run one at a time: a format change on the audio thread waits for a
// module change under way on the control side and then rebuilds for the new
// format, so the last module swapped in always has the index and the format
// in force.
void Engine::rebuildFor(int index, bool useCurrentIndex, bool keep) {
    std::lock_guard<std::mutex> building(buildMutex_);
    if (useCurrentIndex) index = moduleIndex_;
    Built built = build(index, sampleRate_, channelCount_);
    if (built.module && backgroundWork_) built.module->setBackgroundWork(true);
    std::unique_ptr<EffectModule> old;
    {
        ProcessingLock::Guard guard(lock_);
        old = swapIn(built, keep);
        if (!useCurrentIndex) moduleIndex_ = index;
    }
    retire(std::move(old));  // outside the lock
}

void Engine::retire(std::unique_ptr<EffectModule> old) {
    if (!old) return;
    std::lock_guard<std::mutex> preparing(designMutex_);
    old.reset();
}

void Engine::setDesignWorker(bool on) {
    ProcessingLock::Guard guard(lock_);
    designWorker_ = on;
    if (module_) module_->setDeferredDesign(on);
}

bool Engine::designWanted() const {
    ProcessingLock::Guard guard(lock_);
    return module_ && module_->redesignPending();
}

bool Engine::prepareDesign() {
    std::lock_guard<std::mutex> preparing(designMutex_);
    EffectModule* module;
    {
        ProcessingLock::Guard guard(lock_);
        module = module_.get();
        if (!module || !module->takeDesignRequest()) return false;
    }
    // The module cannot go meanwhile: a swap retires it under designMutex_.
    module->prepareDesign();
    return true;
}

std::unique_ptr<EffectModule> Engine::swapIn(Built& built, bool keep) {
    std::unique_ptr<EffectModule> old = std::move(module_);
    module_ = std::move(built.module);
    hasModule_ = module_ ? 1 : 0;
    if (!module_) {
        parameterCount_ = 0;
        return old;
    }
    module_->setDeferredDesign(designWorker_);
    if (seedFixed_) module_->fixRandomSeed(randomSeed_);
    std::memcpy(descriptors_, built.descriptors, sizeof descriptors_);
    parameterCount_ = built.count;
    if (!keep) {
        masterGain_ = 1.0;
        for (int k = 0; k < parameterCount_; ++k) values_[k] = descriptors_[k].defaultValue;
    }
    module_->applyParameters(values_);
    return old;
}

void Engine::adoptModule(std::unique_ptr<EffectModule> module) {
    Built built;
    built.module = std::move(module);
    if (built.module) built.count = built.module->describeParameters(built.descriptors);
    std::unique_ptr<EffectModule> old;
    {
        ProcessingLock::Guard guard(lock_);
        old = swapIn(built, true);
    }
    retire(std::move(old));
}

void Engine::setStreamFormat(int sampleRate, int channels) {
    sampleRate_ = sampleRate;
    channelCount_ = channels;
}

void Engine::buildModule(int moduleIndex, bool keep) { rebuildFor(moduleIndex, false, keep); }

bool Engine::selectModule(int selected) {
    if (selected == moduleIndex_ || selected < 0 || selected > kLastSelectableModule) return false;
    buildModule(selected, false);
    restoreState_ = kRestoreModuleChanged;
    return true;
}

void Engine::moveGainSlider(int position) {
    masterGain_ = gainSliderToGain(position);
    settings_.words[0] = position;
}

void Engine::moveParameterSliders(const int* positions, int count) {
    ProcessingLock::Guard guard(lock_);
    for (int k = 0; k < parameterCount_ && k < count; ++k) {
        if (positions[k] == kSliderMissing) continue;
        if (k + 1 < kSettingsPresetWord) settings_.words[k + 1] = positions[k];
        values_[k] = sliderToValue(descriptors_[k], positions[k]);
    }
    if (module_) module_->applyParameters(values_);
}

void Engine::setParameterValue(int k, double value) {
    ProcessingLock::Guard guard(lock_);
    if (k < 0 || k >= parameterCount_) return;
    values_[k] = value;
    if (k + 1 < kSettingsPresetWord) settings_.words[k + 1] = valueToSlider(descriptors_[k], value);
    if (module_) module_->applyParameters(values_);
}

void Engine::setParameterValues(const double* values, int count) {
    ProcessingLock::Guard guard(lock_);
    for (int k = 0; k < count && k < kMaxParameters; ++k) values_[k] = values[k];
    if (module_) module_->applyParameters(values_);
}

void Engine::setGainDecibels(double decibels) {
    masterGain_ = std::pow(10.0, decibels / 20.0);
    settings_.words[0] = decibelsToGainSlider(decibels);
}

PresetTable Engine::presetsLocked() const {
    if (!module_) return kNoPresets;
    const PresetRecord* records = nullptr;
    const int count = module_->presets(&records);
    return records && count > 0 ? PresetTable{records, count} : kNoPresets;
}

PresetTable Engine::presets() const {
    ProcessingLock::Guard guard(lock_);
    return presetsLocked();
}

int Engine::presetCount() const { return presets().count; }

int Engine::parameterCount() const {
    ProcessingLock::Guard guard(lock_);
    return parameterCount_;
}

double Engine::shownValue(int k, int position) const {
    ProcessingLock::Guard guard(lock_);
    if (k < 0 || k >= parameterCount_) return 0.0;
    const double value = sliderToValue(descriptors_[k], position);
    return module_ ? module_->displayValue(k, value) : value;
}

bool Engine::applyPreset(int sel, PresetSliderPositions* sliders) {
    ProcessingLock::Guard guard(lock_);
    PresetChoice choice;
    if (!choosePreset(presetsLocked(), sel, descriptors_, parameterCount_, settings_.words, &choice)) return false;
    presetIndex_ = sel;
    masterGain_ = choice.masterGain;
    for (int k = 0; k < parameterCount_; ++k) values_[k] = choice.values[k];
    module_->applyParameters(values_);
    if (sliders) *sliders = choice.sliders;
    return true;
}

int Engine::findPreset(const char* name) const { return findPresetIn(presets(), name); }

void Engine::switchToCustom() {
    const int count = presetCount();
    if (count > 0) presetIndex_ = count - 1;
}

void Engine::snapNoise() {
    ProcessingLock::Guard guard(lock_);
    if (module_) module_->snapNoise();
}

void Engine::setBackgroundWork(bool on) {
    std::lock_guard<std::mutex> building(buildMutex_);
    backgroundWork_ = on;
}

void Engine::fixRandomSeed(uint32_t seed) {
    ProcessingLock::Guard guard(lock_);
    seedFixed_ = true;
    randomSeed_ = seed;
    if (module_) module_->fixRandomSeed(seed);
}

void Engine::loadSettings(const unsigned char* bytes, int length, bool readOk) {
    restoreState_ = kRestoreLoaded;
    settings_.storedWordsPending = readOk && bytes && length > 0;
    if (!readOk || !bytes) {
        moduleIndex_ = 0;
        presetIndex_ = 0;
        return;
    }
    settings_.decode(bytes, length);
    // A gain word past the slider would give a gain no slider position can
    // (every sample at full scale); it is held to the slider's ends.
    int& gainWord = settings_.words[0];
    if (gainWord < 0) gainWord = 0;
    if (gainWord > kSliderPositions) gainWord = kSliderPositions;
    const int module = settings_.words[kSettingsModuleWord];
    if (module >= 0 && module <= kLastSelectableModule) {
        moduleIndex_ = module;
        presetIndex_ = settings_.words[kSettingsPresetWord];
    } else {
        moduleIndex_ = 0;
        presetIndex_ = 0;
    }
}

void Engine::saveSettings(unsigned char bytes[kSettingsBytes]) {
    settings_.words[kSettingsModuleWord] = moduleIndex_;
    settings_.words[kSettingsPresetWord] = presetIndex_;
    if (!settings_.storedWordsPending) {
        settings_.words[0] = gainSliderPosition();
        const int count = parameterCount();
        for (int k = 1; k <= count && k < kSettingsPresetWord; ++k) settings_.words[k] = parameterSliderPosition(k - 1);
    }
    settings_.encode(bytes);
}

void Engine::wordsFromLastPreset(const PresetTable& table) {
    const PresetRecord& custom = table.records[table.count - 1];
    ProcessingLock::Guard guard(lock_);
    settings_.words[0] = decibelsToGainSlider(custom.values[0]);
    for (int k = 0; k < parameterCount_; ++k) {
        settings_.words[k + 1] = valueToSlider(descriptors_[k], custom.values[k + 1]);
    }
}

void Engine::valuesFromWords() {
    masterGain_ = gainSliderToGain(settings_.words[0]);
    ProcessingLock::Guard guard(lock_);
    for (int k = 0; k < parameterCount_; ++k) values_[k] = sliderToValue(descriptors_[k], settings_.words[k + 1]);
    if (module_) module_->applyParameters(values_);
}

void Engine::restoreSettings() {
    settings_.storedWordsPending = false;
    const PresetTable table = presets();
    if (restoreState_ == kRestoreLoaded) {
        if (presetIndex_ != 0 || table.count <= 0) {
            valuesFromWords();
        } else {
            wordsFromLastPreset(table);
        }
    } else if (restoreState_ == kRestoreModuleChanged) {
        presetIndex_ = 0;
        if (table.count > 0) wordsFromLastPreset(table);
    }
    restoreState_ = kRestoreLoaded;
}

// A stored word that gives exactly the value in force is kept: turning the
// value back into a position can land one below the position it came from,
// and a setting saved again and again would drift down.
int Engine::gainSliderPosition() const {
    const int word = settings_.words[0];
    return gainSliderToGain(word) == masterGain_ ? word : gainToSlider(masterGain_);
}

int Engine::parameterSliderPosition(int k) const {
    ProcessingLock::Guard guard(lock_);
    const ParamDescriptor& d = descriptors_[k];
    const double value = values_[k];
    if (k + 1 < kSettingsPresetWord && sliderToValue(d, settings_.words[k + 1]) == value) return settings_.words[k + 1];
    return valueToSlider(d, value);
}

EngineSnapshot Engine::snapshot() const {
    EngineSnapshot s;
    {
        ProcessingLock::Guard guard(lock_);
        s.hasModule = module_ != nullptr;
        s.presets = presetsLocked();
        s.parameterCount = parameterCount_;
        std::memcpy(s.descriptors, descriptors_, sizeof s.descriptors);
        std::memcpy(s.values, values_, sizeof s.values);
        for (int k = 0; k < parameterCount_; ++k) {
            s.displayValues[k] = module_ ? module_->displayValue(k, values_[k]) : values_[k];
        }
    }
    s.moduleIndex = moduleIndex_;
    s.presetIndex = presetIndex_;
    s.masterGain = masterGain_;
    s.channelMask = channelMask_;
    s.channelCount = channelCount_;
    s.sampleRate = sampleRate_;
    return s;
}

// The parameter model stays: the settings are saved from it after the
// library releases the module.
void Engine::releaseModule() {
    std::unique_ptr<EffectModule> old;
    {
        ProcessingLock::Guard guard(lock_);
        old = std::move(module_);
        hasModule_ = 0;
    }
    retire(std::move(old));
    pipeline_.release();
}

void Engine::reset() {
    adoptModule(nullptr);
    {
        ProcessingLock::Guard guard(lock_);
        designWorker_ = false;
        seedFixed_ = false;
        randomSeed_ = 0;
        std::memset(descriptors_, 0, sizeof descriptors_);
        std::memset(values_, 0, sizeof values_);
    }
    sampleRate_ = 44100;
    channelCount_ = 2;
    sampleWidth_ = 16;
    masterGain_ = 1.0;
    channelMask_ = 3;
    meterResetFlag_ = 0;
    moduleIndex_ = 0;
    presetIndex_ = 0;
    restoreState_ = kRestoreLoaded;
    hostVersion_ = 0;
    settings_ = SettingsBlock();
    lastLevelLeft_ = 0;
    lastLevelRight_ = 0;
}

// ---- Audio side

void Engine::updateMeters(double peakLeft, double peakRight, double scale) {
    const int left = meterLevel(peakLeft, scale);
    const int right = meterLevel(peakRight, scale);
    display().paintMeters(left, lastLevelLeft_, right, lastLevelRight_);
    lastLevelLeft_ = left;
    lastLevelRight_ = right;
}

int Engine::followFormat(int srate, int nch, int bps, int mask) {
    sampleRate_ = srate;
    // A width the pipeline hands back untouched is not followed: the next
    // supported block of the same width needs no rebuild.
    if (SamplePipeline::supportedWidth(bps)) sampleWidth_ = bps;
    if (nch != channelCount_) {
        channelCount_ = nch;
        mask = nch == 1 ? 1 : 3;
        channelMask_ = mask;
        display().layoutChannelButtons(nch);
    }
    rebuildFor(0, true, true);
    return mask;
}

namespace {

int outputCapacity(int extra, int n) {
    if (extra > n) return 2 * n;
    if (extra > 0) return n + extra;
    return n;
}

}  // namespace

int Engine::runBlock(unsigned char* samples, int n, int nch, int bps, int mask) {
    pipeline_.convertIn(bps, samples, n);
    double* work = pipeline_.work();

    // The module may be replaced by the control side at any block: it is
    // looked at and used only under the lock, held once per block.
    int produced;
    int outCapacity;
    {
        ProcessingLock::Guard guard(lock_);
        if (!module_) return -1;
        outCapacity = outputCapacity(module_->extraOutput(), n);
        produced = module_->process(work, work, n, outCapacity, mask);
    }
    // The host's buffer holds at most outCapacity samples.
    if (produced > outCapacity) produced = outCapacity;
    if (produced < 0) produced = 0;

    pipeline_.convertOut(bps, samples, produced, nch, mask, masterGain_);
    if (produced > 0) {
        double peakLeft, peakRight;
        SamplePipeline::peaks(bps, samples, produced, &peakLeft, &peakRight);
        updateMeters(peakLeft, peakRight, SamplePipeline::fullScale(bps));
    }
    return produced;
}

int Engine::processScaled(double* samples, int n) {
    const int mask = channelMask_;
    if (mask == 0) return n;
    int produced;
    {
        ProcessingLock::Guard guard(lock_);
        if (!module_) return -1;
        produced = module_->process(samples, samples, n, n, mask);
    }
    if (produced > n) produced = n;
    if (produced < 0) produced = 0;
    const int nch = channelCount_;
    const double gain = masterGain_;
    for (int c = 0; c < nch; ++c) {
        if (!channelSelected(c, mask)) continue;
        for (int i = c; i < produced; i += nch) samples[i] *= gain;
    }
    return produced;
}

int Engine::modifySamples(short* samples, int numsamples, int bps, int nch, int srate) {
    unsigned char* bytes = reinterpret_cast<unsigned char*>(samples);
    if (meterResetFlag_) {
        lastLevelLeft_ = 0;
        lastLevelRight_ = 0;
        meterResetFlag_ = 0;
    }
    // A block the pipeline cannot interpret is handed back as it came.
    if (!samples || numsamples < 0 || nch < 1 || srate < 1) return numsamples;

    // The mask is read once: a click on PASS during the block takes effect
    // at the next one, and a mask of 0 never reaches the module.
    int mask = channelMask_;
    if (mask == 0) {
        double peakLeft, peakRight;
        SamplePipeline::peaks(bps, bytes, numsamples, &peakLeft, &peakRight);
        updateMeters(peakLeft, peakRight, SamplePipeline::supportedWidth(bps) ? SamplePipeline::fullScale(bps) : 1.0);
        return numsamples;
    }

    const bool formatChanged = srate != sampleRate_ || nch != channelCount_ ||
                               (bps != sampleWidth_ && SamplePipeline::supportedWidth(bps)) || !hasModule_;
    if (formatChanged) mask = followFormat(srate, nch, bps, mask);

    // The work buffer holds three times the block, counted in an int.
    const int64_t total = static_cast<int64_t>(numsamples) * nch;
    if (total > INT32_MAX / 3 || !pipeline_.reserve(static_cast<int>(total))) {
        display().showError("Memory allocation failed");
        return numsamples;
    }
    if (!SamplePipeline::supportedWidth(bps)) {
        updateMeters(0.0, 0.0, 1.0);
        return numsamples;
    }
    const int produced = runBlock(bytes, static_cast<int>(total), nch, bps, mask);
    // No module (it could not be built): the block goes back as it came.
    if (produced < 0) return numsamples;
    return produced / nch;
}
