#pragma once

#include <atomic>
#include <cstdint>

#include "search/search.h"

namespace brinz {

struct SplitPoint;

// How many threads take part in the running search: "Max CPUs" as it was when the search
// started (1..8). Helpers at or above it sleep on their event.
extern std::atomic<int> activeThreads;

// Makes sure the records of threads 0 .. count - 1 exist (count clamped to 1..8), each
// with its pawn table when there is memory for it. Thread 0's record always comes (without
// memory for it the process ends); a helper's record may not, and then none after it is
// made. With count above 1 every record made also gets its split points. Returns how many
// records exist in a row from thread 0 (with their split points when count is above 1).
// Between searches only.
int prepareSearchThreads(int count);
// Empties the pawn table of every record made so far, for searches that must not depend
// on the ones before them.
void clearPawnTables();

// Makes sure threads 0 .. count - 1 (count clamped to 1..8) have their records and the
// helpers among them run, each asleep on its event when this returns; helpers that run
// already are kept. Stops at the first helper the system cannot create or find memory
// for. Returns how many threads can search (thread 0 and the helpers running, in order).
// Between searches only.
int startHelpers(int count);
// Creates all eight records and starts every helper (tests and bench programs; the engine
// starts helpers as "Max CPUs" asks for them). Returns as startHelpers does.
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

// The wait loop of a thread. Without a split point (a helper between assignments) it
// returns only when the helpers are told to end. With `splitPoint` (an owner after its
// split) it returns when nobody works there any more; meanwhile it takes any work it is
// given. Helpers sleep on their event while no search runs or they are not taking part,
// and spin with a pause during a search. Thread 0 waiting here still polls input and
// checks the limits every few milliseconds.
void waitForWork(SearchThread& thread, SplitPoint* splitPoint);

}  // namespace brinz
