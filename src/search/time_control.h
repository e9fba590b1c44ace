#pragma once

// Time control: how long a search may think, when it stops, and how a "ponderhit" is
// answered. The search's one entry point, runSearch, sets the clock up from the limits.

#include <cstdint>

#include "board/move.h"
#include "search/search.h"

namespace brinz {

// What a search is asked for: the mover's clock and the limits of a "go". Zero is "none".
struct SearchLimits {
    int64_t time = 0, increment = 0, movesToGo = 0;  // milliseconds, milliseconds, moves
    int32_t depth = 0;                               // iterations (plies)
    int64_t nodes = 0;
    int64_t movetime = 0;                            // milliseconds
    int32_t mate = 0;                                // a mate in at most this many moves
    bool infinite = false;                           // never answer before "stop"
    bool ponder = false;                             // start pondering
};

// The largest clock value a go line can carry: a 32-bit millisecond count.
inline constexpr int64_t ClockMax = INT32_MAX;

// Thread 0 looks at the clock and the input at least this often (in its own nodes), so a
// slow stretch of nodes (tablebase probes) cannot carry it far past a limit.
inline constexpr int64_t PollIntervalNodes = 1000;
// Nodes between two polls for a node limit `nodes` (0 = none): at most PollIntervalNodes,
// and a whole fraction of the limit, so that one thread stops where the limit falls (or
// within a few nodes of it).
uint32_t pollIntervalFor(int64_t nodes);

struct TimeLimits {
    int64_t softLimit, hardLimit;  // milliseconds
};
// The target and maximum thinking time for own clock `time`, increment `increment` and
// `movesToGo` (0 = none), with a quarter more target time when `ponderOption` is on.
TimeLimits computeTimeLimits(int64_t time, int64_t increment, int64_t movesToGo, bool ponderOption);
// `limits` less `overhead` milliseconds ("Move Overhead") each, never below 0.
TimeLimits withoutOverhead(TimeLimits limits, int64_t overhead);

// Runs one search of RootPosition: applies the options, starts the helper threads the
// options ask for, sets searchClock up from `limits` and searches with `hooks` until a
// limit, "stop" or (under "go infinite" or pondering) a release through the input hook.
// `searchMoves` as for rootSearch. Returns the number of threads that searched.
int runSearch(const SearchLimits& limits, const Move* searchMoves, const SearchHooks& hooks);

// Every pollInterval nodes on thread 0 (the usual checkLimits hook): reports the status
// once a second (from the first second on) and sets Stopping when a limit has been reached.
void checkLimits();
// After iteration `iteration` with best score `best`: whether the search has done enough.
// Also sets the extra time the best move's changes have earned.
bool iterationEndsSearch(int iteration, int best);
// "ponderhit": leaves Pondering, for PonderHit or, when the time is already used, Stopping.
void decidePonderHit();

}  // namespace brinz
