#pragma once
// Marks a function compiled for a wider instruction set than its callers:
// the 32-bit Windows stack is aligned to 4 bytes only, and AVX spills need
// 32, so there the function realigns its own frame.
#if defined(__i386__) && (defined(__GNUC__) || defined(__clang__))
#define MORV_REALIGN __attribute__((force_align_arg_pointer))
#else
#define MORV_REALIGN
#endif
