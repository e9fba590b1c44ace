#pragma once

#include <atomic>
#include <cstdint>

#include "board/move.h"
#include "board/position.h"
#include "platform/threads.h"
#include "search/search.h"

namespace brinz {

// Locking rule of the parallel search.
// - splitLock guards the assignment of threads to split points: the SearchThread fields
//   idle, hasWork and splitPoint when work is handed out, activeSplits, and the set-up
//   and close of a split point.
// - Each SplitPoint's lock guards its cursor, movesTaken, best, workers, slaves, the
//   writes of alpha and of `cutoff`, and the write-back to ownerStack.
// - No thread ever holds two of these locks at once, so there is no order to respect.
//   (The protocol's outputLock, for report lines, is unrelated.)
// - Read without a lock: the SearchThread flags (abort by every node, hasWork and idle
//   by the wait loop and the availability test, which splitLock then confirms), alpha and
//   beta (read afresh by every worker before each search), workers (by the waiting
//   owner), SearchState and activeThreads. These are atomics: the relaxed ones are
//   signals, hasWork and workers hand data over with release/acquire.

inline constexpr int MaxSplitsPerThread = 8;  // nesting levels of one thread's open split points

// A node whose remaining moves several threads search together. A thread's
// splitPoints[k] is its k-th nested open split point. Each participant i works on its own copies
// (positions[i], stacks[i]) and lays its lists in moveBuffers[i], room for a full list at
// every ply down to the deepest, so no worker can run past it.
struct SplitPoint {
    Position positions[MaxThreads];
    PlyRecord stacks[MaxThreads][StackSize];
    PlyRecord* ownerStack;  // where the result and the principal variation go back
    MoveListEntry moveBuffers[MaxThreads][MoveBufferSize];

    alignas(64) int ply, depth;
    std::atomic<int32_t> alpha, beta, best;
    bool pvNode;
    int owner;
    std::atomic<uint8_t> slaves[MaxThreads];  // thread i works here for the owner
    Lock lock;
    MoveListEntry* cursor;  // the shared rest of the owner's scored list
    MoveListEntry* end;
    int movesTaken;                // legal moves searched at the node, the owner's before the split included
    std::atomic<int> workers;      // threads (owner included) still working here
    SplitPoint* parent;            // the split point the owner was working at when it opened this one
    std::atomic<uint8_t> cutoff;   // a move failed high here: all work below is void
};
static_assert(sizeof(SplitPoint::moveBuffers[0]) / sizeof(MoveListEntry) >= StackSize * MaxMovesPerPly);

extern Lock splitLock;

// How often a split was made or refused for want of a nesting level; for tests.
struct SplitCounters {
    std::atomic<uint64_t> opened;          // splits made
    std::atomic<uint64_t> helpfulJoins;    // a thread waiting at its own split point joined another
    std::atomic<uint64_t> nestingRefused;  // refused: eight split points of the thread already open
    std::atomic<uint64_t> cutoffs;         // a move failed high at a split point
};
extern SplitCounters splitCounters;

// Some other taking-part thread is idle and may work for thread t: it owns no open split
// point, or only two threads take part, or t works for it at its newest split point.
bool idleThreadAvailable(int thread);

// Offers the rest of the list [cursor, end) of the node at `ply` (already scored) to the
// idle threads and searches it with them; `movesSearched` counts the legal moves the owner
// searched there before. True when the split took place: then alpha, beta and best hold the
// final values and stack[ply].pv the line. False, with nothing changed, when no thread is
// idle, the thread has eight open split points, or its current work has been aborted.
bool split(Position& pos, PlyRecord* stack, int ply, int& alpha, int& beta, bool pvNode, int& best, int depth,
           int movesSearched, MoveListEntry* cursor, MoveListEntry* end, SearchThread& thread);

// A thread's share of the work at `splitPoint`: takes moves from the shared list until it
// is empty, a move fails high there, or the thread is aborted.
void searchSplitPoint(SplitPoint& splitPoint, SearchThread& thread);

// True when `splitPoint` or a split point above it has been cut off: work beneath is void.
bool cutoffAbove(const SplitPoint* splitPoint);

}  // namespace brinz
