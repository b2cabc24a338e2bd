#pragma once

#include <memory>

#include "framework/param_descriptor.h"
#include "framework/preset_record.h"

// Buffer capacities (doubles) modules are built with: the pass-through module
// and the resampler take the larger one, every other module the smaller.
constexpr int kModuleCapacity = 5000;
constexpr int kPassThroughCapacity = 6000;

// Base of every effect module. Samples are interleaved doubles on the host's
// integer scale; counts are in samples (frames x channels).
//
// Two owned scratch buffers (A and B) are available to subclasses; they are
// zero-filled at construction and may grow but never shrink.
class EffectModule {
public:
    explicit EffectModule(int capacity);
    virtual ~EffectModule();

    EffectModule(const EffectModule&) = delete;
    EffectModule& operator=(const EffectModule&) = delete;

    // Processes inCount samples from in into out (which may be the same
    // buffer: read the input before writing) and returns the number of samples
    // written: a multiple of the channel count and at most outCapacity.
    //
    // Output length. Before every call the pipeline asks extraOutput() and
    // passes outCapacity = inCount + extra (at most 2 x inCount; never below
    // inCount). A module whose output length differs from its input (still
    // filling its first frame, rate or tempo change) may return less than
    // inCount, 0 included, or more; it keeps what it cannot deliver for later
    // calls, never drops or reorders it, and reports the queued count from
    // extraOutput so that the next outCapacity can carry it (OutputQueue does
    // this bookkeeping). Modules never ahead of their input report 0: planar
    // modules return outCapacity, a BlockEffect 0 until it holds a whole block
    // and whole blocks from then on. The base copies and returns outCapacity.
    virtual int process(const double* in, double* out, int inCount, int outCapacity, int channelMask);
    // Fills up to kMaxParameters descriptors and returns their number.
    virtual int describeParameters(ParamDescriptor* descriptors);
    virtual void setParameters(const double* values);
    // Most samples beyond inCount that the next process may produce: the
    // samples a length-changing module holds queued; 0 for the others.
    virtual int extraOutput();
    // Sets *table to the first preset record and returns the preset count.
    virtual int presets(const PresetRecord** table);
    virtual int presetCount();
    // The value of a parameter as shown to the user.
    virtual double displayValue(int parameterIndex, double value);
    // Clears the signal history; returns 0.
    virtual int reset();
    // Restarts the learning of a noise profile ("Snap Noise"); modules that
    // learn none ignore it.
    virtual void snapNoise() {}
    // Output frames per input frame over a long stream: 1 for every module
    // that keeps the stream's length, the factor in force for a rate or tempo
    // change. A file's output is sized by it.
    virtual double lengthRatio() { return 1.0; }
    // Output frames delivered at the start of a stream ahead of the output
    // that lines up with the input (a tempo scaler's first grain). A file
    // drops them and drains as many more at its end, so that it keeps the end
    // of its input. 0 for modules whose first output lines up.
    virtual int leadingFrames() { return 0; }

    // Hands values to setParameters, each held first within its slider's range
    // widened by the range's own width on either side (a value that is not a
    // number takes the default). Presets and stored settings may lie a little
    // beyond a slider ("Below" of the 3D placement sits past the elevation
    // slider's top), but a stored position far outside would give values the
    // modules cannot work with. Every caller outside the module goes through
    // here.
    void applyParameters(const double* values);

    int capacityA() const { return capacityA_; }
    int capacityB() const { return capacityB_; }
    // True when setParameters has stored values that the next process applies.
    bool redesignPending() const { return redesignPending_; }

protected:
    // Costly consequences of a parameter change (filter design, tables,
    // converters) never run in setParameters: it stores the values and calls
    // requestRedesign(), and the next process runs redesign() once, before any
    // audio. PlanarEffect and BlockEffect do so in their process; a module that
    // implements process itself calls redesignIfRequested() first.
    void requestRedesign() { redesignPending_ = true; }
    virtual void redesign() {}
    void redesignIfRequested() {
        if (!redesignPending_) return;
        redesignPending_ = false;
        redesign();
    }

    // Grows a buffer to at least count doubles; with keep the first keepCount
    // values are preserved. Never shrinks.
    void growA(int count, int keepCount = 0);
    void growB(int count, int keepCount = 0);

    std::unique_ptr<double[]> bufferA_;
    std::unique_ptr<double[]> bufferB_;
    int capacityA_ = 0;
    int capacityB_ = 0;

private:
    bool redesignPending_ = false;
};

// True when channel c is selected by the mask: for the first two channels,
// (c + 1) AND mask is non-zero; channels past the second follow the pair and
// are selected only when both left and right are.
inline bool channelSelected(int channel, int channelMask) {
    if (channel < 2) return ((channel + 1) & channelMask) != 0;
    return (channelMask & 3) == 3;
}
