#include "effects/restoration/hoare_select.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "effects/restoration/quad_lanes.h"

namespace {

// The selection must leave every element where std::nth_element leaves it:
// short and long ranges, many equal values (ties steer the partitions), runs
// already in order or reversed, and every rank from the ends to the middle;
// with the four-lane comparisons and the two-lane ones.
void expectOrderOfStdNthElement() {
    std::mt19937 random(5);
    for (int length : {1, 2, 3, 4, 5, 17, 64, 65, 200, 1102, 4800}) {
        for (int kind = 0; kind < 4; ++kind) {
            std::vector<double> values(length);
            for (int i = 0; i < length; ++i) {
                const double noise = std::uniform_real_distribution<double>(0.0, 1.0)(random);
                values[i] = kind == 0 ? noise : kind == 1 ? static_cast<double>(random() % 4) : kind == 2 ? i : -i;
            }
            for (int nth : {0, length / 3, length / 2, length - 1}) {
                std::vector<double> expected = values, got = values;
                std::nth_element(expected.begin(), expected.begin() + nth, expected.end());
                ASSERT_TRUE(hoareSelect(got.data(), got.data() + nth, got.data() + length));
                ASSERT_EQ(got, expected) << "length " << length << ", kind " << kind << ", rank " << nth;
            }
        }
    }
}

TEST(HoareSelect, LeavesTheOrderOfStdNthElement) {
    expectOrderOfStdNthElement();
#ifdef MORV_QUAD_LANES
    const bool quad = quadLanesEnabled();
    quadLanesEnabled() = !quad;
    expectOrderOfStdNthElement();
    quadLanesEnabled() = quad;
#endif
}

}  // namespace
