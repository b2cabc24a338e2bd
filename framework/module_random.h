#pragma once

#include <cstdint>

// The C library generator of the original platform, owned by one module so
// that the module's sequence neither depends on nor disturbs any other user
// of rand() in the process (the player among them):
// x <- x * 214013 + 2531011 (mod 2^32), value (x >> 16) & 0x7fff.
class ModuleRandom {
public:
    static constexpr int kMax = 32767;

    // An unseeded C library generator starts as if seeded with 1.
    explicit ModuleRandom(uint32_t seed = 1) : state_(seed) {}

    void seed(uint32_t seed) { state_ = seed; }

    // The next value, 0 .. kMax.
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

private:
    uint32_t state_;
};
