#pragma once

// The mutex that keeps the audio thread's process() apart from every module
// replacement and every user-interface call on the module.
class ProcessingLock {
public:
    ProcessingLock();
    ~ProcessingLock();
    ProcessingLock(const ProcessingLock&) = delete;
    ProcessingLock& operator=(const ProcessingLock&) = delete;

    void lock();
    void unlock();
    // How many times the lock has been taken: each take costs a kernel round
    // trip in some hosts, so the pipeline's count per block matters.
    long takes() const { return takes_; }

    // Holds the lock for the lifetime of the guard.
    class Guard {
    public:
        explicit Guard(ProcessingLock& lock) : lock_(lock) { lock_.lock(); }
        ~Guard() { lock_.unlock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        ProcessingLock& lock_;
    };

private:
    void* handle_;  // platform mutex
    long takes_ = 0;  // written only while the lock is held
};
