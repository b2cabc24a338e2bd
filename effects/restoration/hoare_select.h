#pragma once

// Rearranges [first, last) exactly as libstdc++'s std::nth_element(first,
// nth, last) does: the same median-of-three pivots, the same Hoare
// partitions swapping the same pairs in the same order, and the same
// insertion sort of the last three or fewer. Sums over a range the
// selection leaves in place therefore come out bit for bit the same. Each
// partition finds the elements it must swap a block at a time, with no
// branch per element; the order of a selection is all it changes.
// Returns false where libstdc++ would give up on partitioning (after twice
// log2 of the length of them) and turn to heap selection: [first, last) is
// then in some other order, and the caller starts again with
// std::nth_element itself.
bool hoareSelect(double* first, double* nth, double* last);
