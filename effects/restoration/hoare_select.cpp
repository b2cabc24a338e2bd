#include "effects/restoration/hoare_select.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kBlock = 64;

#if defined(__SSE2__)
// For each 4-bit mask, the indices of its set bits packed into bytes, lowest
// first, and how many there are.
struct MaskTable {
    std::uint32_t offsets[16];
    int counts[16];
};

constexpr MaskTable makeMaskTable() {
    MaskTable table{};
    for (int mask = 0; mask < 16; ++mask) {
        int count = 0;
        std::uint32_t packed = 0;
        for (int bit = 0; bit < 4; ++bit)
            if (mask & (1 << bit)) packed |= static_cast<std::uint32_t>(bit) << (8 * count++);
        table.offsets[mask] = packed;
        table.counts[mask] = count;
    }
    return table;
}

constexpr MaskTable kMasks = makeMaskTable();

// Appends base + i (i from first, four at a time) to list where bit k of
// mask(i) is set for element i + k; returns the first i left.
template <typename Mask>
int listByMasks(int first, int count, unsigned char* list, int* listed, Mask mask) {
    int i = first;
    for (; i + 4 <= count; i += 4) {
        const int m = mask(i);
        const std::uint32_t packed = kMasks.offsets[m] + static_cast<std::uint32_t>(i) * 0x01010101u;
        std::memcpy(list + *listed, &packed, sizeof packed);
        *listed += kMasks.counts[m];
    }
    return i;
}
#endif

void moveMedianToFirst(double* result, double* a, double* b, double* c) {
    if (*a < *b) {
        if (*b < *c)
            std::swap(*result, *b);
        else if (*a < *c)
            std::swap(*result, *c);
        else
            std::swap(*result, *a);
    } else if (*a < *c) {
        std::swap(*result, *a);
    } else if (*b < *c) {
        std::swap(*result, *c);
    } else {
        std::swap(*result, *b);
    }
}

// The Hoare partition of [lo, hi) about the pivot lo[-1]. Scanning up from
// the left it stops at each element not below the pivot, scanning down from
// the right at each element not above it, and swaps the two while they have
// not crossed. The elements either scan stops at are those of the values as
// they were, as long as the scan has not reached a place the other side has
// swapped: such a place stops it too, so each stop is the nearer of the next
// listed element and the other side's last stop. The lists are made a block
// at a time.
double* partition(double* lo, double* hi) {
    const double pivot = lo[-1];
    // Three more than a block: the lists are written four entries at a time.
    unsigned char left[kBlock + 3], right[kBlock + 3];
#if defined(__SSE2__)
    const __m128d pivots = _mm_set1_pd(pivot);
#endif
    int leftCount = 0, leftNext = 0, rightCount = 0, rightNext = 0;
    double* leftBase = lo;   // the block the left list indexes
    double* rightBase = hi;  // the right list indexes down from here
    double* leftScan = lo;   // first element not yet listed from the left
    double* rightScan = hi;  // one past the last element not yet listed from the right
    double* lastLeft = lo - 1;
    double* lastRight = hi;
    for (;;) {
        double* l = lastRight;
        for (;;) {
            if (leftNext < leftCount) {
                double* candidate = leftBase + left[leftNext++];
                if (candidate < lastRight) l = candidate;
                break;
            }
            if (leftScan >= lastRight) break;
            const int count = static_cast<int>(std::min<long>(kBlock, lastRight - leftScan));
            leftBase = leftScan;
            leftCount = 0;
            leftNext = 0;
            int i = 0;
#if defined(__SSE2__)
            i = listByMasks(0, count, left, &leftCount, [&](int at) {
                const __m128d low = _mm_cmpnlt_pd(_mm_loadu_pd(leftBase + at), pivots);
                const __m128d high = _mm_cmpnlt_pd(_mm_loadu_pd(leftBase + at + 2), pivots);
                return _mm_movemask_pd(low) | _mm_movemask_pd(high) << 2;
            });
#endif
            for (; i < count; ++i) {
                left[leftCount] = static_cast<unsigned char>(i);
                leftCount += !(leftBase[i] < pivot);
            }
            leftScan += count;
        }
        double* r = lastLeft;
        for (;;) {
            if (rightNext < rightCount) {
                double* candidate = rightBase - 1 - right[rightNext++];
                if (candidate > lastLeft) r = candidate;
                break;
            }
            if (rightScan <= lastLeft + 1) break;
            const int count = static_cast<int>(std::min<long>(kBlock, rightScan - (lastLeft + 1)));
            rightBase = rightScan;
            rightCount = 0;
            rightNext = 0;
            int i = 0;
#if defined(__SSE2__)
            // Element i is rightBase[-1 - i]: each pair of lanes comes in
            // reversed.
            i = listByMasks(0, count, right, &rightCount, [&](int at) {
                const int near = _mm_movemask_pd(_mm_cmpnlt_pd(pivots, _mm_loadu_pd(rightBase - 2 - at)));
                const int far = _mm_movemask_pd(_mm_cmpnlt_pd(pivots, _mm_loadu_pd(rightBase - 4 - at)));
                return (near >> 1 | (near & 1) << 1) | (far >> 1 | (far & 1) << 1) << 2;
            });
#endif
            for (; i < count; ++i) {
                right[rightCount] = static_cast<unsigned char>(i);
                rightCount += !(pivot < rightBase[-1 - i]);
            }
            rightScan -= count;
        }
        if (!(l < r)) return l;
        std::swap(*l, *r);
        lastLeft = l;
        lastRight = r;
    }
}

void insertionSort(double* first, double* last) {
    if (first == last) return;
    for (double* i = first + 1; i != last; ++i) {
        const double value = *i;
        if (value < *first) {
            for (double* j = i; j != first; --j) *j = j[-1];
            *first = value;
        } else {
            double* hole = i;
            for (double* next = i - 1; value < *next; --next) {
                *hole = *next;
                hole = next;
            }
            *hole = value;
        }
    }
}

int floorLog2(long n) {
    int log = 0;
    while (n > 1) {
        n >>= 1;
        ++log;
    }
    return log;
}

}  // namespace

bool hoareSelect(double* first, double* nth, double* last) {
    if (first == last || nth == last) return true;
    int depth = 2 * floorLog2(last - first);
    while (last - first > 3) {
        if (depth == 0) return false;
        --depth;
        moveMedianToFirst(first, first + 1, first + (last - first) / 2, last - 1);
        double* cut = partition(first + 1, last);
        if (cut <= nth)
            first = cut;
        else
            last = cut;
    }
    insertionSort(first, last);
    return true;
}
