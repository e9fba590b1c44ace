#include "platform/memory.h"

// POSIX side; the Windows side is in the _windows file beside this one.
#ifndef _WIN32

#include <cstdint>
#include <sys/mman.h>

namespace brinz {

namespace {

// The size of a transparent huge page on x86-64.
constexpr std::size_t LargePage = std::size_t(2) << 20;

std::size_t roundedUp(std::size_t bytes) { return (bytes + LargePage - 1) & ~(LargePage - 1); }

}  // namespace

void* allocateLargeTable(std::size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * LargePage) return nullptr;
    const std::size_t size = roundedUp(bytes);
    // One large page more than needed, so that a boundary of one lies inside; the slack
    // before and after it goes back at once.
    const std::size_t mapped = size + LargePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + LargePage - 1) & ~uintptr_t(LargePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::size_t tail = start + mapped - (aligned + size);
    if (tail) munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    // Only advice: a kernel without transparent huge pages keeps small ones.
    madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
}

void freeLargeTable(void* block, std::size_t bytes) {
    if (block) munmap(block, roundedUp(bytes));
}

}  // namespace brinz

#endif
