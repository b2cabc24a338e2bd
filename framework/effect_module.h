#pragma once

#include <atomic>
#include <cstdint>
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
    // Frames by which the output lags the input within the signal the module
    // delivers: a partitioned convolution's first partition (the reverb, the
    // 3D placement). 0 for modules whose output frame p is input frame p (a
    // frame effect holds its output back rather than delaying it). Channels
    // that a module hands back dry are delayed by as much.
    virtual int latencyFrames() { return 0; }
    // The most frames, counted after latencyFrames past the end of the input,
    // for which the output may still sound: a reverberation's ring. 0 for
    // modules without a tail (a frame's smear or a short kernel is not one).
    virtual int64_t tailFrames() { return 0; }
    // Draws the module's random values from seed where it would read the
    // clock (the reverb's tail, seeded from the clock's second in the
    // player), from the next design on. Modules that draw nothing from the
    // clock ignore it.
    virtual void fixRandomSeed(uint32_t /*seed*/) {}
    // Lets the module run work whose result is due only later (the reverb's
    // long convolution partitions) on threads of its own, so that no call of
    // a real-time host's short blocks carries it. The output is the same.
    // Off by default: the player and the command line do all the work in the
    // call. Turning it on may allocate and start threads.
    virtual void setBackgroundWork(bool /*on*/) {}

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

    // Redesign in two phases. setParameters only stores values and raises a
    // request; prepare builds the design those values call for (room
    // responses, filter sections, converters; may allocate and take long)
    // into a staging slot that process never reads; install swaps the staged
    // design in at a block boundary, in constant time and without allocating.
    //
    // Immediate mode (the default: the player and the command line): process
    // takes, prepares and installs a pending request itself before any audio.
    // Deferred mode (a host with a worker thread): process only installs a
    // design that is ready and otherwise keeps the one in force (the one built
    // by the constructor until a first install).
    //
    // Threads. setParameters (through applyParameters), takeDesignRequest,
    // installDesign, setDeferredDesign and process are called under the host's
    // processing lock. prepareDesign runs on the worker WITHOUT the lock,
    // concurrently with process: it reads only the request snapshot that
    // takeDesignRequest copied under the lock and writes only the staging
    // slot. One worker per module: the steps follow each other as
    //   lock { takeDesignRequest() } -> prepareDesign() -> lock { installDesign() }
    // (process installs a ready design too). The module object must outlive a
    // prepare in flight.

    // True when values were stored that the design in force does not reflect.
    bool redesignPending() const { return requestSerial_ != installedSerial_; }
    // Under the lock: snapshots the stored values for prepareDesign. False
    // (nothing taken) when no redesign is pending or a prepared design still
    // waits for its install.
    bool takeDesignRequest();
    // Without the lock: builds the design for the snapshot taken last into the
    // staging slot; does nothing unless a request was taken and not prepared.
    void prepareDesign();
    // Under the lock: swaps a prepared design in; false when none is ready.
    // Values stored after its request was taken leave the module pending.
    bool installDesign();
    void setDeferredDesign(bool deferred) { deferredDesign_ = deferred; }
    bool deferredDesign() const { return deferredDesign_; }

protected:
    // setParameters stores its values and calls requestRedesign().
    void requestRedesign() { ++requestSerial_; }
    // The module's three steps of a redesign (see the threading notes above):
    // copy the stored values into the request (under the lock), build the
    // staged design from the request (worker, no lock, touches nothing
    // process reads), swap the staged design in (under the lock, constant time).
    virtual void captureDesignRequest() {}
    virtual void buildDesign() {}
    virtual void swapDesign() {}
    // The block boundary of process: PlanarEffect and BlockEffect call it
    // before their first plane or frame, a module with its own process first.
    void updateDesign();

    // Grows a buffer to at least count doubles; with keep the first keepCount
    // values are preserved. Never shrinks.
    void growA(int count, int keepCount = 0);
    void growB(int count, int keepCount = 0);

    std::unique_ptr<double[]> bufferA_;
    std::unique_ptr<double[]> bufferB_;
    int capacityA_ = 0;
    int capacityB_ = 0;

private:
    enum DesignStage { kNoDesignTaken, kDesignTaken, kDesignReady };

    bool deferredDesign_ = false;
    // Serials of the values stored last, of the request taken last and of
    // the design in force; only touched under the lock.
    unsigned requestSerial_ = 0;
    unsigned takenSerial_ = 0;
    unsigned installedSerial_ = 0;
    // Hands the staging slot between the lock holders and the worker.
    std::atomic<int> stage_{kNoDesignTaken};
};

// True when channel c is selected by the mask: for the first two channels,
// (c + 1) AND mask is non-zero; channels past the second follow the pair and
// are selected only when both left and right are.
inline bool channelSelected(int channel, int channelMask) {
    if (channel < 2) return ((channel + 1) & channelMask) != 0;
    return (channelMask & 3) == 3;
}
