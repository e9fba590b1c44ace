#pragma once

#include <cstdint>

#include "board/move.h"

namespace brinz {

// The limits of one "go" line. Absent keywords, and keywords followed by no readable
// number, leave 0. Clock values are clamped to 0..2^31-1 ms; movestogo below 0 reads as 0.
struct GoParameters {
    bool infinite, ponder;
    int32_t wtime, btime, winc, binc, movestogo, depth, nodes, mate, movetime;
};

// Room for every legal root move and the terminating 0; longer lists are cut.
inline constexpr int SearchMovesSize = 257;
// Thread 0 looks at the clock and the input at least this often (in its own nodes), so a
// slow stretch of nodes (tablebase probes) cannot carry it far past a limit.
inline constexpr int64_t PollIntervalNodes = 1000;
// Nodes between two polls for a go with node limit `nodes` (0 = none): at most
// PollIntervalNodes, and a whole fraction of the limit, so that one thread stops where
// the limit falls (or within a few nodes of it).
uint32_t pollIntervalFor(int64_t nodes);

// Reads the keywords of a go line (the text after "go "), each at its first occurrence.
GoParameters parseGoLine(const char* text);
// Fills `list` (zero-terminated, at most `size` - 1 moves) with the legal moves of
// RootPosition named in `text`; a malformed token ends the list, a well-formed one that
// names no legal move is dropped. Returns the number of well-formed tokens read.
int parseSearchMoves(const char* text, Move* list, int size);

struct TimeLimits {
    int64_t softLimit, hardLimit;  // milliseconds
};
// The target and maximum thinking time for own clock `time`, increment `increment` and
// `movesToGo` (0 = none), with a quarter more target time when `ponderOption` is on.
TimeLimits computeTimeLimits(int64_t time, int64_t increment, int64_t movesToGo, bool ponderOption);

// Parses the go line, searches and prints "bestmove", then sets SearchState to Idle.
// Search moves none of which is legal here restrict nothing.
void handleGo(const char* text);
// Sets up searchClock and the hooks, applies the options, runs the root search; ends the
// process if "quit" arrived during the search. `searchMoves` as for rootSearch.
void startSearch(const GoParameters& go, const Move* searchMoves);
// Every pollInterval nodes on thread 0: prints the status line once a second (from the
// first second on) and sets Stopping when a limit has been reached.
void checkLimits();
// "ponderhit": leaves Pondering, for PonderHit or, when the time is already used, Stopping.
void decidePonderHit();

}  // namespace brinz
