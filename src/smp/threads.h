#pragma once

#include <atomic>
#include <cstdint>

#include "search/search.h"

namespace brinz {

struct SplitPoint;

// What the split machinery knows of one search thread. Thread 0 runs the root search;
// threads 1..7 are helpers that live from startThreads to stopThreads. splitPoint, idle
// and hasWork are written under splitLock by whoever hands out work (idle also by the
// thread itself when its share is done), abort by whoever cuts off a split point the
// thread works at (see smp/split.h); all are read without a lock.
struct alignas(64) ThreadRecord {
    std::atomic<SplitPoint*> splitPoint{nullptr};  // last assignment; read once hasWork is seen
    std::atomic<uint8_t> abort{0};    // set by others: leave the current split-point work and return
    std::atomic<uint8_t> waiting{0};  // inside its wait loop; a helper clears it only when it ends
    std::atomic<uint8_t> idle{0};     // may be given work
    std::atomic<uint8_t> hasWork{0};  // assigned to splitPoint and not started yet: stored with release
    // The split point whose moves this thread is searching now (null at the root and when
    // idle). Read and written by the thread itself only; it becomes the parent of the
    // split points the thread opens.
    SplitPoint* workingAt = nullptr;
    std::atomic<uint32_t> sleeps{0};   // times a helper went to sleep on its event; tests watch it
    std::atomic<uint32_t> wakeUps{0};  // times a helper left its event wait; tests watch it
};
extern ThreadRecord ThreadRecords[MaxThreads];

// How many threads take part in the running search: "Max CPUs" as it was when the search
// started (1..8). Helpers at or above it sleep on their event.
extern std::atomic<int> activeThreads;

// Gives threads 0 .. count - 1 (count clamped to 1..8) a fresh pawn table each; the
// tables are emptied, never zero-filled, since an all-zero entry would match a pawnless
// board. Between searches only.
void allocateThreadBlocks(int count);
// The count of the last allocateThreadBlocks, 0 before the first.
int threadBlockCount();

// Makes sure helpers 1 .. count - 1 (count clamped to 1..8) run, each asleep on its event
// when this returns; helpers that run already are kept. Stops at the first helper the
// system cannot create. Returns how many threads can search (thread 0 and the helpers
// running, in order). Between searches only.
int startHelpers(int count);
// Allocates the blocks of all eight threads and starts every helper (tests and bench
// programs; the engine starts helpers as "Max CPUs" asks for them). Returns as
// startHelpers does.
int startThreads();
// Shutdown (also between test suites): ends every helper and joins it. Call only when
// no search runs. Helpers may be started again afterwards.
void stopThreads();
bool threadsRunning();

// The wake-up at search start, after SearchState has left Idle and the options have been
// applied: fixes activeThreads from "Max CPUs", at most the threads started, and, when it
// is above 1, wakes the helpers.
void wakeThreads();
// The root has nothing more to share but holds its answer (pondering, "go infinite"):
// the helpers go back to sleep until the next search wakes them. No split may be open.
void restThreads();
// Signals helper t's event (nothing for thread 0).
void wakeHelper(int thread);

// The wait loop of thread t. Without a split point (a helper between assignments) it
// returns only when the helpers are told to end. With `splitPoint` (an owner after its
// split) it returns when nobody works there any more; meanwhile it takes any work it is
// given. Helpers sleep on their event while no search runs or they are not taking part,
// and spin with a pause during a search. Thread 0 waiting here still polls input and
// checks the limits every few milliseconds.
void waitForWork(int thread, SplitPoint* splitPoint);

}  // namespace brinz
