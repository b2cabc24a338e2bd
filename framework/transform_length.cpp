#include "framework/transform_length.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// The even length without a prime factor above 7 nearest to target.
int chooseTransformLength(int target, int base) {
    if (target <= base) return base;
    // k_p: the exponent of the smallest power of p above the target.
    const int primes[4] = {2, 3, 5, 7};
    int exponent[4];
    int64_t limit = INT64_MAX;
    for (int q = 0; q < 4; ++q) {
        int k = 0;
        int64_t power = 1;
        while (power <= target) {
            power *= primes[q];
            ++k;
        }
        exponent[q] = k;
        limit = std::min(limit, power);
    }
    std::vector<int64_t> candidates;
    int64_t p2 = base;
    for (int a = 0; a < exponent[0] && p2 <= limit; ++a, p2 *= 2) {
        int64_t p3 = p2;
        for (int b = 0; b < exponent[1] && p3 <= limit; ++b, p3 *= 3) {
            int64_t p5 = p3;
            for (int c = 0; c < exponent[2] && p5 <= limit; ++c, p5 *= 5) {
                int64_t p7 = p5;
                for (int d = 0; d < exponent[3] && p7 <= limit; ++d, p7 *= 7) candidates.push_back(p7);
            }
        }
    }
    std::sort(candidates.begin(), candidates.end());
    for (size_t i = candidates.size(); i-- > 1;) {
        const int64_t lo = candidates[i - 1], hi = candidates[i];
        if (lo <= target && target <= hi) return static_cast<int>(target - lo <= hi - target ? lo : hi);
    }
    return static_cast<int>(candidates.back());
}
