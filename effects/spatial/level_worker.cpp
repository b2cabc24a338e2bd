#include "effects/spatial/level_worker.h"

#include <algorithm>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

LevelWorker::LevelWorker(Step step, void* context) : step_(step), context_(context), thread_([this] { loop(); }) {}

LevelWorker::~LevelWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void LevelWorker::post(int level, int slot) {
    if (!schedulingTaken_) followCallerScheduling();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // One step per level at most, so the queue never overflows.
        if (queued_ == kMaxLevels) return;
        queue_[queued_++] = {level, slot};
    }
    wake_.notify_one();
}

bool LevelWorker::holds(int level) const {
    if (running_ == level) return true;
    return std::any_of(queue_, queue_ + queued_, [level](const Job& job) { return job.level == level; });
}

void LevelWorker::wait(int level) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return !holds(level); });
}

// Steps run in the order they were posted; queued steps still run when the
// worker is destroyed.
void LevelWorker::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || queued_ > 0; });
        if (queued_ == 0) return;
        const Job job = queue_[0];
        std::copy(queue_ + 1, queue_ + queued_, queue_);
        --queued_;
        running_ = job.level;
        lock.unlock();
        step_(context_, job.level, job.slot);
        lock.lock();
        running_ = -1;
        done_.notify_all();
    }
}

void LevelWorker::followCallerScheduling() {
    schedulingTaken_ = true;
#if defined(__linux__)
    int policy = 0;
    sched_param caller{};
    if (pthread_getschedparam(pthread_self(), &policy, &caller) != 0) return;
    if (policy != SCHED_FIFO && policy != SCHED_RR) return;
    sched_param own{};
    own.sched_priority = std::max(sched_get_priority_min(policy), caller.sched_priority - 1);
    pthread_setschedparam(thread_.native_handle(), policy, &own);
#endif
}
