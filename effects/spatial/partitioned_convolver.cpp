#include "effects/spatial/partitioned_convolver.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kInitialQueueCapacity = 4096;
// The output queue holds several partitions, so that its contents move to
// the front only every few partitions.
constexpr int kOutputQueuePartitions = 8;

// The levels, in partitions of B: block length Bs, offset into the response
// and the most partitions each takes (the last takes the rest). A level's
// step at time T gives its output for the times from T - Bs + offset on.
//
// A step of a level costs one transform pair of 2Bs points and, per
// partition, one spectrum product; per sample the products of every level
// cost alike, while a partition of Bs covers Bs / B times as much response.
// The transforms' cost per sample grows with the length, and unevenly: a
// length of 5 x 4096 (radices 4, 10, 16, 16) costs per sample about 1.4 times
// one of 4096, while 4 x 4096 costs about 3 times as much. So the coarse
// levels take blocks of 5B and 50B, whose transforms factor that way. A
// response of up to kUniformPartitions partitions is cheapest in level 0
// alone; a longer one keeps a few partitions in level 0 and the rest in the
// coarse levels: far fewer products for a few transforms more.
//
// Steps in the call: an offset of Bs - B keeps a level's output in time, so
// level 0 keeps the least that lets partitions of 5B follow, 4, and the 5B
// level reaches 54B, past the 49B that partitions of 50B need. Steps on a
// thread: an offset of 2Bs - B makes a level's output due only one step of
// the level after T, so the step may run meanwhile; level 0 keeps 9
// partitions and the 5B level reaches 99B, a few more products per sample.
// Since level 0 is then all the work left in the call that completes a
// partition, a response of more than 9 partitions takes the coarse levels
// too.
struct LevelPlan {
    int block;
    int offset;
    int maxPartitions;
};
constexpr int kPlanLevels = ConvolverResponse::kMaxLevels;
constexpr LevelPlan kInCallPlan[kPlanLevels] = {{1, 0, 4}, {5, 4, 10}, {50, 54, 0}};
constexpr LevelPlan kAheadPlan[kPlanLevels] = {{1, 0, 9}, {5, 9, 18}, {50, 99, 0}};
// The most partitions a response may have to stay in level 0 alone (its
// history holds as many), in the call and on the thread.
constexpr int kUniformPartitions = 20;
constexpr int kUniformPartitionsAhead = kAheadPlan[0].maxPartitions;

// Level j ends where level j + 1 starts, which is early enough for its block
// and the steps ahead it keeps.
constexpr bool levelsFollow(const LevelPlan* plan, int stepsAhead, int j = 0) {
    if (j + 1 >= kPlanLevels) return true;
    const LevelPlan& level = plan[j];
    const LevelPlan& next = plan[j + 1];
    return level.offset + level.block * level.maxPartitions == next.offset &&
           next.offset >= (stepsAhead + 1) * next.block - 1 && levelsFollow(plan, stepsAhead, j + 1);
}
static_assert(levelsFollow(kInCallPlan, 0), "each level starts where the last ends, in time for the output");
static_assert(levelsFollow(kAheadPlan, 1), "each level starts where the last ends, a step ahead of its output");

// Ring slots: the furthest a level writes ahead, offset + B, in partitions.
constexpr int ringSlotsFor(const LevelPlan* plan) { return plan[kPlanLevels - 1].offset + 1; }

// Samples of the response that level j convolves.
int levelSamples(const LevelPlan* plan, int j, int partition, int length) {
    const int uniform = plan == kAheadPlan ? kUniformPartitionsAhead : kUniformPartitions;
    if (length <= uniform * partition) return j == 0 ? length : 0;
    const int from = plan[j].offset * partition;
    if (length <= from) return 0;
    if (plan[j].maxPartitions == 0) return length - from;
    return std::min(length - from, plan[j].maxPartitions * plan[j].block * partition);
}

void growKeeping(std::vector<double>& queue, size_t needed) {
    if (needed > queue.size()) queue.resize(std::max(needed, 2 * queue.size()));
}

}  // namespace

PartitionedConvolver::PartitionedConvolver(int partitionLength)
    : partition_(partitionLength),
      inputQueue_(static_cast<size_t>(std::max(kInitialQueueCapacity, partitionLength)), 0.0),
      outputQueue_(static_cast<size_t>(std::max(kInitialQueueCapacity, kOutputQueuePartitions * partitionLength)), 0.0) {
    ringSlots_ = ringSlotsFor(kInCallPlan);
    levels_.reserve(kPlanLevels);
    // The head level remembers enough input for any response it may take
    // alone, so that a change from a long response to a shorter one keeps
    // the past input's reverberation.
    levels_.push_back(std::make_unique<ConvolutionLevel>(partition_, 0, kUniformPartitions));
    ready_ = partition_;
}

PartitionedConvolver::~PartitionedConvolver() = default;

void PartitionedConvolver::loadResponse(const double* response, int length) {
    prepareResponse(response, length, loadStaging_);
    installResponse(loadStaging_);
}

// A longer response than any before adds the coarse levels it reaches (and,
// with the first of them, the ring); every level in use gets its share.
void PartitionedConvolver::prepareResponse(const double* response, int length, ConvolverResponse& staged) const {
    staged.length = length;
    staged.newLevels.clear();
    if (length < 1) return;
    int count = static_cast<int>(levels_.size());
    const LevelPlan* plan = worker_ ? kAheadPlan : kInCallPlan;
    for (; count < kPlanLevels && levelSamples(plan, count, partition_, length) > 0; ++count) {
        const LevelPlan& next = plan[count];
        staged.newLevels.push_back(
            std::make_unique<ConvolutionLevel>(next.block * partition_, next.offset * partition_));
    }
    if (count > 1 && ring_.empty()) staged.ring.assign(static_cast<size_t>(ringSlots_) * partition_, 0.0);
    const int held = static_cast<int>(levels_.size());
    for (int j = 0; j < count; ++j) {
        const ConvolutionLevel& level = j < held ? *levels_[j] : *staged.newLevels[j - held];
        ConvolverResponse::Level& share = staged.levels[j];
        if (!share.transform) share.transform = std::make_unique<RealFft>(2 * level.blockLength());
        const double* samples = response + std::min(level.offset(), length);
        const int count = levelSamples(plan, j, partition_, length);
        share.partitions = ConvolutionLevel::transformPartitions(*share.transform, level.blockLength(), samples,
                                                                 count, share.spectra);
        share.silent = ConvolutionLevel::silentPartitions(level.blockLength(), samples, count);
        if (share.partitions > level.historySlots())
            share.grownHistory.assign(share.partitions * ConvolutionLevel::spectrumStride(level.blockLength()), 0.0);
    }
}

void PartitionedConvolver::installResponse(ConvolverResponse& staged) {
    if (staged.length < 1) return;
    // A step under way finishes with the response it started with.
    for (size_t j = 1; j < levels_.size(); ++j) settle(static_cast<int>(j));
    responseLength_ = staged.length;
    for (auto& level : staged.newLevels) levels_.push_back(std::move(level));
    staged.newLevels.clear();
    if (ring_.empty() && !staged.ring.empty()) ring_.swap(staged.ring);
    for (size_t j = 0; j < levels_.size(); ++j) {
        ConvolverResponse::Level& share = staged.levels[j];
        levels_[j]->swapResponse(share.spectra, share.partitions, share.silent, share.grownHistory);
    }
    staged.length = 0;
}

void PartitionedConvolver::settle(int j) {
    if (worker_ && j > 0) worker_->wait(j);
}

// The coarse levels and the ring go with the plan they were laid out for;
// level 0 keeps the signal and the response it had.
void PartitionedConvolver::setBackgroundSteps(bool on) {
    if (on == (worker_ != nullptr)) return;
    worker_.reset();  // lets its steps finish first
    levels_.resize(1);
    ring_.clear();
    ringHead_ = 0;
    ringSlots_ = ringSlotsFor(on ? kAheadPlan : kInCallPlan);
    if (on) worker_ = std::make_unique<LevelWorker>(stepInBackground, this);
}

void PartitionedConvolver::reset() {
    for (size_t j = 0; j < levels_.size(); ++j) {
        settle(static_cast<int>(j));
        levels_[j]->clear();
    }
    std::fill(ring_.begin(), ring_.end(), 0.0);
    ringHead_ = 0;
    pending_ = 0;
    outputStart_ = 0;
    std::fill(outputQueue_.begin(), outputQueue_.begin() + partition_, 0.0);
    ready_ = partition_;
}

int PartitionedConvolver::partitionCount() const {
    int count = 0;
    for (const auto& level : levels_) count += level->partitionCount();
    return count;
}

int PartitionedConvolver::levelCount() const {
    int count = 0;
    for (const auto& level : levels_) count += level->partitionCount() > 0 ? 1 : 0;
    return count;
}

int PartitionedConvolver::process(const double* in, double* out, int n, int m) {
    if (n > 0) {
        growKeeping(inputQueue_, static_cast<size_t>(pending_) + n);
        std::memcpy(inputQueue_.data() + pending_, in, sizeof(double) * n);
        pending_ += n;
    }
    if (pending_ > partition_) {
        makeRoomForOutput(partition_ * (pending_ / partition_));
        int position = 0;
        for (; position < pending_ - partition_; position += partition_) takePartition(inputQueue_.data() + position);
        pending_ -= position;
        std::memmove(inputQueue_.data(), inputQueue_.data() + position, sizeof(double) * pending_);
    }
    // An empty request delivers nothing; its output pointer may be null.
    if (m <= 0 || ready_ < m) return 0;
    std::memcpy(out, outputQueue_.data() + outputStart_, sizeof(double) * m);
    ready_ -= m;
    outputStart_ = ready_ > 0 ? outputStart_ + m : 0;
    return m;
}

// Ready output is read from outputStart_ on; it moves to the front only when
// the queue's end is reached, so that a call rarely moves any.
void PartitionedConvolver::makeRoomForOutput(int count) {
    const size_t end = static_cast<size_t>(outputStart_) + ready_ + count;
    if (end <= outputQueue_.size()) return;
    std::memmove(outputQueue_.data(), outputQueue_.data() + outputStart_, sizeof(double) * ready_);
    outputStart_ = 0;
    growKeeping(outputQueue_, static_cast<size_t>(ready_) + count);
}

// One partition through every level; level 0's output, with whatever the
// coarse levels left due in the ring's head slot, joins the output queue. A
// coarse level whose block completes waits for its last step (on the
// thread, the one that wrote into the slots from the head on) and starts the
// next.
void PartitionedConvolver::takePartition(const double* samples) {
    double* emitted = outputQueue_.data() + outputStart_ + ready_;
    ConvolutionLevel& head = *levels_[0];
    head.push(samples, partition_);
    head.takeBlock();
    head.step();
    std::memcpy(emitted, head.output(), sizeof(double) * partition_);
    for (size_t j = 1; j < levels_.size(); ++j) {
        if (!levels_[j]->push(samples, partition_)) continue;
        const int level = static_cast<int>(j);
        settle(level);
        levels_[j]->takeBlock();
        if (worker_) {
            worker_->post(level, ringHead_);
        } else {
            stepCoarse(level, ringHead_);
        }
    }
    if (!ring_.empty()) {
        double* slot = ring_.data() + static_cast<size_t>(ringHead_) * partition_;
        for (int i = 0; i < partition_; ++i) emitted[i] += slot[i];
        std::fill(slot, slot + partition_, 0.0);
        ringHead_ = (ringHead_ + 1) % ringSlots_;
    }
    ready_ += partition_;
}

void PartitionedConvolver::stepInBackground(void* self, int j, int head) {
    static_cast<PartitionedConvolver*>(self)->stepCoarse(j, head);
}

// The step runs even without partitions: the window's spectrum joins the
// history, for a longer response to come. Its output, for T - Bs .. T - 1 at
// a step at time T, is due at T - Bs + offset: that many samples after the
// slot that was the head (the times T - B .. T - 1), plus one partition. That
// is Bs / B slots or more ahead, and the head reaches it only after the
// level's next step has waited for this one; the slots in between are the
// only ones the caller touches meanwhile.
void PartitionedConvolver::stepCoarse(int j, int head) {
    ConvolutionLevel& level = *levels_[j];
    level.step();
    if (level.partitionCount() == 0) return;
    const int firstSlot = (level.offset() - level.blockLength()) / partition_ + 1;
    const int slots = level.blockLength() / partition_;
    const double* from = level.output();
    for (int s = 0; s < slots; ++s) {
        double* slot = ring_.data() + static_cast<size_t>((head + firstSlot + s) % ringSlots_) * partition_;
        for (int i = 0; i < partition_; ++i) slot[i] += from[i];
        from += partition_;
    }
}
