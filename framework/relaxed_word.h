#pragma once

#include <atomic>

// A word that the audio thread and the control window both touch without the
// processing lock (the master gain, the channel mask, the meter reset flag).
// Every load and store is a relaxed atomic: whole (a double is never seen
// half written), as cheap as a plain access on x86, and ordering nothing
// else; the module itself stays guarded by the lock. It reads and assigns
// like the plain variable it replaces.
template <typename T>
class RelaxedWord {
public:
    static_assert(std::atomic<T>::is_always_lock_free, "the audio thread must never wait on a word");

    constexpr RelaxedWord(T value = T()) noexcept : value_(value) {}
    RelaxedWord(const RelaxedWord&) = delete;
    RelaxedWord& operator=(const RelaxedWord&) = delete;

    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }
    RelaxedWord& operator=(T value) noexcept {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<T> value_;
};
