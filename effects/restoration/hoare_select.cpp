#include "effects/restoration/hoare_select.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "effects/restoration/quad_lanes.h"

#ifdef MORV_QUAD_LANES
#include <immintrin.h>
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

// The lists of a block of count elements from a partition's two sides:
// left[] the places i with !(base[i] < pivot), right[] the places i with
// !(pivot < base[-1 - i]). Each lists as many as it can a vector at a time
// and returns the first place it left to the caller.
struct PairLists {
    static int left(const double* base, int count, double pivot, unsigned char* list, int* listed) {
#if defined(__SSE2__)
        const __m128d pivots = _mm_set1_pd(pivot);
        return listByMasks(0, count, list, listed, [&](int at) {
            const __m128d low = _mm_cmpnlt_pd(_mm_loadu_pd(base + at), pivots);
            const __m128d high = _mm_cmpnlt_pd(_mm_loadu_pd(base + at + 2), pivots);
            return _mm_movemask_pd(low) | _mm_movemask_pd(high) << 2;
        });
#else
        (void)base, (void)count, (void)pivot, (void)list, (void)listed;
        return 0;
#endif
    }
    static int right(const double* base, int count, double pivot, unsigned char* list, int* listed) {
#if defined(__SSE2__)
        const __m128d pivots = _mm_set1_pd(pivot);
        // Element i is base[-1 - i]: each pair of lanes comes in reversed.
        return listByMasks(0, count, list, listed, [&](int at) {
            const int near = _mm_movemask_pd(_mm_cmpnlt_pd(pivots, _mm_loadu_pd(base - 2 - at)));
            const int far = _mm_movemask_pd(_mm_cmpnlt_pd(pivots, _mm_loadu_pd(base - 4 - at)));
            return (near >> 1 | (near & 1) << 1) | (far >> 1 | (far & 1) << 1) << 2;
        });
#else
        (void)base, (void)count, (void)pivot, (void)list, (void)listed;
        return 0;
#endif
    }
};

#ifdef MORV_QUAD_LANES
// PairLists with one four-lane comparison per four elements.
struct QuadLists {
    // listByMasks with the mask made in place.
    MORV_QUAD_TARGET static int list(const double* from, int step, int count, bool reversed, double pivot,
                                     unsigned char* list, int* listed) {
        // Bit k of a mask read backwards is bit 3 - k.
        static constexpr unsigned char kReversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
        const __m256d pivots = _mm256_set1_pd(pivot);
        int i = 0;
        for (; i + 4 <= count; i += 4) {
            const __m256d values = _mm256_loadu_pd(from + step * i);
            const int m = reversed ? kReversed[_mm256_movemask_pd(_mm256_cmp_pd(pivots, values, _CMP_NLT_US))]
                                   : _mm256_movemask_pd(_mm256_cmp_pd(values, pivots, _CMP_NLT_US));
            const std::uint32_t packed = kMasks.offsets[m] + static_cast<std::uint32_t>(i) * 0x01010101u;
            std::memcpy(list + *listed, &packed, sizeof packed);
            *listed += kMasks.counts[m];
        }
        return i;
    }
    MORV_QUAD_TARGET static int left(const double* base, int count, double pivot, unsigned char* list, int* listed) {
        return QuadLists::list(base, 1, count, false, pivot, list, listed);
    }
    // Element i is base[-1 - i]: the four lanes of base[-4 - i ..] come in
    // reversed.
    MORV_QUAD_TARGET static int right(const double* base, int count, double pivot, unsigned char* list,
                                      int* listed) {
        return QuadLists::list(base - 4, -1, count, true, pivot, list, listed);
    }
};
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
template <typename Lists>
inline __attribute__((always_inline)) double* partition(double* lo, double* hi) {
    const double pivot = lo[-1];
    // Three more than a block: the lists are written four entries at a time.
    unsigned char left[kBlock + 3], right[kBlock + 3];
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
            int i = Lists::left(leftBase, count, pivot, left, &leftCount);
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
            int i = Lists::right(rightBase, count, pivot, right, &rightCount);
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

template <typename Lists>
inline __attribute__((always_inline)) bool select(double* first, double* nth, double* last) {
    int depth = 2 * floorLog2(last - first);
    while (last - first > 3) {
        if (depth == 0) return false;
        --depth;
        moveMedianToFirst(first, first + 1, first + (last - first) / 2, last - 1);
        double* cut = partition<Lists>(first + 1, last);
        if (cut <= nth)
            first = cut;
        else
            last = cut;
    }
    insertionSort(first, last);
    return true;
}

#ifdef MORV_QUAD_LANES
MORV_QUAD_TARGET bool selectQuad(double* first, double* nth, double* last) {
    return select<QuadLists>(first, nth, last);
}
#endif

}  // namespace

bool hoareSelect(double* first, double* nth, double* last) {
    if (first == last || nth == last) return true;
#ifdef MORV_QUAD_LANES
    if (processorHasQuadLanes()) return selectQuad(first, nth, last);
#endif
    return select<PairLists>(first, nth, last);
}
