#pragma once

#include <cstdint>

#include "board/move.h"
#include "search/time_control.h"

namespace brinz {

// The limits of one "go" line. Absent keywords, and keywords followed by no readable
// number, leave 0. Clock values are clamped to 0..2^31-1 ms; movestogo below 0 reads as 0.
struct GoParameters {
    bool infinite, ponder;
    int32_t wtime, btime, winc, binc, movestogo, depth, nodes, mate, movetime;
};

// Room for every legal root move and the terminating 0; longer lists are cut.
inline constexpr int SearchMovesSize = 257;
// Reads the keywords of a go line (the text after "go "), each at its first occurrence.
GoParameters parseGoLine(const char* text);
// Fills `list` (zero-terminated, at most `size` - 1 moves) with the legal moves of
// RootPosition named in `text`; a malformed token ends the list, a well-formed one that
// names no legal move is dropped. Returns the number of well-formed tokens read.
int parseSearchMoves(const char* text, Move* list, int size);

// Parses the go line, searches and prints "bestmove", then sets SearchState to Idle.
// Search moves none of which is legal here restrict nothing.
void handleGo(const char* text);
// The go line's limits as the search takes them: the clock of the side to move.
SearchLimits searchLimitsOf(const GoParameters& go, int sideToMove);
// Runs the search with the protocol's hooks (input poll, reports); ends the process if
// "quit" arrived during the search. `searchMoves` as for rootSearch.
void startSearch(const GoParameters& go, const Move* searchMoves);

}  // namespace brinz
