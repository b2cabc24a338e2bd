#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// A thread that runs the steps of a convolver's coarse levels, so that the
// call in which a long partition completes does not also pay for its
// transforms. A coarse level's output is due one step of the level after
// its input is complete; the caller posts the step then and waits for it
// before the level's next step, by which time it has normally long run.
//
// On its first post the thread takes the caller's real-time scheduling
// class, one priority below, where the system allows it: an audio host's
// thread must not wait for a thread that the scheduler puts behind
// ordinary work.
class LevelWorker {
public:
    // run(context, level, slot): the step of a level and where its output goes.
    using Step = void (*)(void* context, int level, int slot);
    static constexpr int kMaxLevels = 4;

    LevelWorker(Step step, void* context);
    ~LevelWorker();
    LevelWorker(const LevelWorker&) = delete;
    LevelWorker& operator=(const LevelWorker&) = delete;

    // Queues a step of level (below kMaxLevels); the caller waits for a
    // level's step before it posts the level again.
    void post(int level, int slot);
    // Returns once no step of level is queued or running.
    void wait(int level);

private:
    struct Job {
        int level;
        int slot;
    };

    void loop();
    bool holds(int level) const;
    void followCallerScheduling();

    const Step step_;
    void* const context_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    Job queue_[kMaxLevels] = {};
    int queued_ = 0;
    int running_ = -1;
    bool stopping_ = false;
    bool schedulingTaken_ = false;
    std::thread thread_;
};
