#pragma once

#include <vector>

#include "framework/real_fft.h"

// One uniformly partitioned convolution: a stretch of a response split into P
// partitions of Bs samples, each held as the spectrum of a 2Bs-point
// transform. Every Bs input samples the window of the last 2Bs inputs is
// transformed once and kept in a history of the last P window spectra; the
// output spectrum is the chain of products partition k x window k steps ago,
// summed from the last partition to the first, and its inverse transform
// gives the next Bs output samples.
//
// Input is gathered in a ring of three blocks of Bs, so that a step may run
// on another thread while the next block fills: the step reads the block
// just completed and the one before it, and the third is the one filling.
// A step must be done before the block after next starts to fill.
class ConvolutionLevel {
public:
    // blockLength is Bs; the level convolves the response from sample offset
    // on. It keeps at least historySlots window spectra, so that a response
    // of up to that many partitions applies at once to the past input too.
    ConvolutionLevel(int blockLength, int offset, int historySlots = 1);

    // Transforms count response samples (those from a level's offset on)
    // into ceil(count / Bs) partition spectra in spectra, split as the level
    // holds them, with a transform of 2Bs points that the caller owns, and a
    // spare slot after them to transform in; returns the partition count.
    // Storage grows and never shrinks: the same size again allocates nothing.
    static int transformPartitions(RealFft& transform, int blockLength, const double* samples, int count,
                                   std::vector<double>& spectra);
    // How many partitions from the first on hold only zeros (a response that
    // starts with a delay): their products are zero and are skipped.
    static int silentPartitions(int blockLength, const double* samples, int count);
    // Takes partition spectra (swapping: spectra gets the old ones back) and
    // the count of silent ones leading them. The window history is kept, so
    // the new response applies at the next step to the past input as well.
    // When the partitions outnumber the history slots the history moves into
    // grown, partitions slots of zeros prepared by the caller (grown then
    // holds the old storage).
    void swapResponse(std::vector<double>& spectra, int partitions, int silent, std::vector<double>& grown);
    int historySlots() const { return slots_; }
    // Spectra are held split, real parts first and imaginary parts from
    // imaginaryOffset on, in slots of spectrumStride doubles: the gaps keep
    // the many spectra a sum reads at once out of each other's cache sets.
    static constexpr int imaginaryOffset(int blockLength) { return blockLength + kCacheGap; }
    static constexpr size_t spectrumStride(int blockLength) {
        return static_cast<size_t>(2 * blockLength + 2 * kCacheGap);
    }
    // Appends count input samples (count divides Bs); returns true once Bs new
    // samples are in: a step is then due.
    bool push(const double* samples, int count);
    // The step for the block push last completed: once it has run, output()
    // holds the level's Bs output samples for the last Bs inputs, until the
    // next step. takeBlock is called where push completed the block; step
    // may then run on any thread, before the next takeBlock.
    void takeBlock() { stepBlock_ = (filling_ + 2) % 3; }
    void step();
    const double* output() const { return product_.data() + kSpare + block_; }
    // Forgets the signal: input blocks, history and the partly filled block.
    void clear();

    int blockLength() const { return block_; }
    int offset() const { return offset_; }
    int partitionCount() const { return partitions_; }

private:
    // Steps per batch of products (see sumBatch).
    static constexpr int kBatch = 4;
    // Doubles between the real and the imaginary parts of a spectrum, and
    // after them: 512 bytes, eight cache lines.
    static constexpr int kCacheGap = 64;
    // Doubles ahead of the transform's buffer: one is written over by the
    // packed sum; a whole cache line keeps the buffer aligned as the input
    // blocks copied into it are.
    static constexpr int kSpare = 8;

    void growHistory(int slots, std::vector<double>& grown);
    void stepSingle();
    void splitPackedHistory();
    void sumBatch(double* sum, double* packed);
    void finishPartial(double* sum, double* packed);
    // The transform's buffer, after product_'s spare cache line.
    double* work() { return product_.data() + kSpare; }
    // The batch's sum for its step d (1 .. kBatch - 1) so far.
    double* partial(int d) { return partials_.data() + static_cast<size_t>(d - 1) * stride_; }
    double* spectrum(int k) { return spectra_.data() + static_cast<size_t>(k) * stride_; }
    // The window spectrum of age steps ago (0: the newest; age < slots).
    double* history(int age) {
        const int slot = newest_ >= age ? newest_ - age : newest_ - age + slots_;
        return history_.data() + static_cast<size_t>(slot) * stride_;
    }

    RealFft fft_;
    int block_;
    int length_;  // transform length N = 2 Bs
    int offset_;
    size_t stride_;  // doubles per spectrum slot
    int partitions_ = 0;
    int silent_ = 0;   // leading partitions of zeros
    int filled_ = 0;   // samples in the block filling
    int filling_ = 0;  // the block that push fills
    int stepBlock_ = 0;  // the newest block of the step to run
    std::vector<double> spectra_;  // P partition spectra
    std::vector<double> history_;  // ring of window spectra, slots_ of them
    int slots_;
    int newest_ = 0;
    std::vector<double> blocks_;   // three input blocks of Bs
    std::vector<double> product_;  // kSpare, then the window's spectrum; then the output spectrum, and the
                                   // output block in its second half
    std::vector<double> sum_;       // the output spectrum, split
    std::vector<double> partials_;  // kBatch - 1 sums for the batch's later steps, split
    int phase_ = 0;                 // the step's place in its batch; 0 starts one
    int packedSlots_ = 0;           // the newest windows, held packed by stepSingle
};
