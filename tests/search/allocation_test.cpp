#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "options/options.h"
#include "search/hash.h"
#include "search/root.h"
#include "search/search.h"
#include "support/engine_setup.h"
#include "support/search_driver.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

}  // namespace

// Every allocation of this test binary passes here; only those made while counting count.
void* operator new(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The no-throw forms too: left to the runtime, their blocks would reach the free below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
// Over-aligned types (the search threads' records) come through the aligned forms.
void* operator new(std::size_t size, std::align_val_t align) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = std::size_t(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    try {
        return operator new(size, align);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace brinz {
namespace {

TEST(SearchAllocation, AFixedNodeSearchAllocatesNothing) {
    support::initialiseTables();
    // One thread, the options applied once before: the search start then has nothing to
    // (re)allocate, and what is counted is the search itself.
    handleSetOption("Max CPUs value 1");
    applyOptions(WHITE);
    SetPositionFromFen(RootPosition, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    SearchLimits limits;
    // The first search of the process creates the thread's record and tables; what is
    // counted is a search after it.
    limits.nodes = 1000;
    support::searchRootPosition(limits, 1);
    limits.nodes = 30000;
    counting = true;
    support::searchRootPosition(limits, 1);
    counting = false;
    EXPECT_GE(nodeCount.load(), 30000u);
    EXPECT_EQ(allocations.load(), 0);
}

}  // namespace
}  // namespace brinz
