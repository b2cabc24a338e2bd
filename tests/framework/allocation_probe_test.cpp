// Replacement of the global operator new that counts allocations per thread
// (see allocation_probe.h). The replacements are weak, so that another test
// file of the suite may define its own without a link conflict; they forward
// to malloc and free, which the sanitizer builds intercept as usual.
#include "tests/framework/allocation_probe.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include <gtest/gtest.h>

namespace {
thread_local long allocationCount = 0;

void* countedAllocate(std::size_t size) {
    ++allocationCount;
    if (size == 0) size = 1;
    void* p = std::malloc(size);
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

namespace allocprobe {
long threadAllocations() {
    // Clang treats a new-expression's allocation as touching no memory the
    // program can see; the barrier makes it read the counter afresh.
    asm volatile("" ::: "memory");
    return allocationCount;
}
}  // namespace allocprobe

__attribute__((weak)) void* operator new(std::size_t size) { return countedAllocate(size); }
__attribute__((weak)) void* operator new[](std::size_t size) { return countedAllocate(size); }
__attribute__((weak)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((weak)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((weak)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {
// The allocations escape through this pointer, so no compiler elides them.
std::vector<double>* volatile escaped = nullptr;
}  // namespace

TEST(AllocationProbe, CountsOperatorNew) {
    const long before = allocprobe::threadAllocations();
    auto owned = std::make_unique<std::vector<double>>(100);
    escaped = owned.get();
    // A replacement defined elsewhere in the suite may not count: then the
    // allocation tests that rely on the probe are meaningless, and this fails.
    EXPECT_GE(allocprobe::threadAllocations() - before, 2);
}
