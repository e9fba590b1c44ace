// Generators, make/unmake, the legality and exchange tests run at every node: they must
// never allocate. Every allocation of this test binary is counted here.
#include <atomic>
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "board/attacks.h"
#include "board/exchange.h"
#include "board/generate.h"
#include "board/make_move.h"
#include "board/perft.h"
#include "support/engine_setup.h"

namespace {
std::atomic<long> AllocationCount{0};
}  // namespace

void* operator new(std::size_t size) {
    AllocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
// The no-throw forms too: left to the runtime, their blocks would reach the free below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    AllocationCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
// The replacement new above takes its memory from malloc, so free is the matching release;
// GCC cannot see that pairing and warns.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
#pragma GCC diagnostic pop
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace brinz {
namespace {

// Visits a tree calling every hot-path routine on every node.
uint64_t Exercise(Position& pos, int depth) {
    MoveListEntry list[MaxMoves];
    MoveListEntry* end = GenerateMoves(pos, list);
    GenerateCaptures(pos, list);
    GenerateQuietChecks(pos, list);
    if (pos.checkerCount) GenerateEvasions(pos, list);
    HasCaptureThreat(pos, pos.side, 256);
    end = GenerateMoves(pos, list);
    uint64_t nodes = 1;
    for (MoveListEntry* entry = list; entry != end; ++entry) {
        StaticExchange(pos, MoveTo(entry->move), MoveFrom(entry->move));
        GivesCheck(pos, entry->move);
        if (!IsLegal(pos, entry->move) || !IsLegalByMaking(pos, entry->move)) continue;
        if (depth > 1) {
            UndoRecord undo;
            MakeMove(pos, undo, entry->move);
            InCheck(pos);
            nodes += Exercise(pos, depth - 1);
            UnmakeMove(pos, undo, entry->move);
        }
    }
    if (!pos.checkerCount) {
        UndoRecord undo;
        MakeNullMove(pos, undo);
        UnmakeNullMove(pos, undo);
    }
    return nodes;
}

TEST(AllocationTest, HotPathsAllocateNothing) {
    Position kiwipete =
        support::positionFromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    Position enPassant = support::positionFromFen("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1");
    long before = AllocationCount.load();
    uint64_t nodes = Exercise(kiwipete, 3) + Exercise(enPassant, 4) + Perft(kiwipete, 3);
    long after = AllocationCount.load();
    EXPECT_GT(nodes, 0u);
    EXPECT_EQ(after - before, 0);
}

}  // namespace
}  // namespace brinz
